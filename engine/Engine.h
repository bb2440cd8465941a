// The patch engine: runs a package's install script against the game folder, applies byte
// patches, keeps the uninstall log, and undoes an install from that log.
//
// Promise: an install either completes or leaves every game file as it was; an uninstall
// never deletes the only saved copy of a file; every outcome is reported truthfully.
//
// Folders, relative to the package folder P (the current directory of the program):
//   P\Temp                          staging folder: the extracted package
//   P\QUARN Backup                  backup folder: saved game files
//   P\QUARN Backup\Uninstall.cfg    uninstall log: game folder line, then pairs of lines
//                                   (saved copy, game file), CR LF after every line
//   <game folder>\JXPatch\Back.JX   flag file: "This is a flag, do not delete."
//
// All paths are 8-bit texts of at most 259 characters; nothing here builds a longer one.
// Results are 0 for full success and non-zero otherwise; the report says what happened.
// Nothing throws.
#pragma once

#include <string>
#include <vector>

#include "engine/Report.h"

namespace engine {

// What the package extraction wrote into the staging folder, as full paths in the order
// written: the files, and the folders it created (parents before children). The install
// accepts only staged files listed here and cleans up exactly these.
struct StagedSet {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// Runs "Install.cfg" of the staging folder against `gameFolder` (used exactly as given):
// checks the whole script first, then writes the flag file and the uninstall log, saves
// and replaces game files ("copyfile"), saves and byte-patches game files ("patchfile"),
// and finally, whatever the outcome, removes what `staged` lists from the staging folder.
// A problem found while checking changes nothing; a failure while acting puts the game
// folder, the log and the flag file back as they were.
// Returns 0 on success (warnings possible), non-zero on failure.
int RunInstallScript(const char* packageFolder, const char* gameFolder,
                     const StagedSet& staged, Report* report);

// Replays the uninstall log of `packageFolder`: every saved copy goes back over its game
// file and is deleted once restored; then the flag file, the log and the backup folder go.
// Pairs that could not be restored stay in a rewritten log with their saved copies.
// Returns 0 when every pair was restored or had nothing to restore.
int RunUninstall(const char* packageFolder, Report* report);

// Writes the records of the byte patch file into `targetPath`, durably (a patched copy
// replaces the target). The patch file is checked whole first; a bad one, or a missing
// target, writes nothing. Returns 0 on success.
int ApplyBytePatch(const char* bytePatchPath, const char* targetPath, Report* report);

// The uninstall log as read back, for showing the installed state.
struct LogPair {
  std::string backupPath;    // the saved copy
  std::string gameFilePath;  // where it belongs
};
struct UninstallLog {
  std::string gameFolder;
  std::vector<LogPair> pairs;  // complete pairs, in order
};

enum class LogState {
  kAbsent,     // no log opens: no install is recorded
  kReadable,   // `log` holds it
  kMalformed,  // a log exists but cannot be trusted; `problem` says why
};

// Reads the uninstall log of `packageFolder` with the checks the uninstall applies.
LogState ReadUninstallLog(const char* packageFolder, UninstallLog* log, std::string* problem);

}  // namespace engine
