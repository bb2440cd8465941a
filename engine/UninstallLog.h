// The uninstall log "Uninstall.cfg" in the backup folder: the game folder line, then pairs
// of lines (where a game file's original was saved, where it belongs), every line ended by
// CR LF on disk. Read and written here for the install, the uninstall and the status.
#pragma once

#include <string>
#include <vector>

#include "engine/Engine.h"


namespace engine {

// The fixed places below the package folder, each built by plain appending.
struct PackagePaths {
  std::string stagingPrefix;  // package folder + "\Temp\" (also the staging folder itself)
  std::string scriptPath;     // package folder + "\Temp\Install.cfg"
  std::string backupFolder;   // package folder + "\QUARN Backup"
  std::string backupPrefix;   // package folder + "\QUARN Backup\"
  std::string logPath;        // package folder + "\QUARN Backup\Uninstall.cfg"
};

// False when one of the paths (or the log's temporary name) would not fit a path buffer;
// `tooLong` then holds the path that did not fit.
bool MakePackagePaths(const char* packageFolder, PackagePaths* paths, std::string* tooLong);

// Reads the log at `logPath` and checks every pair: its first line must be a file inside
// `backupFolder`, its second must end in a separator and the first line's last name. An
// incomplete last pair (no second line, or one cut short by the end of the file) is what
// an interrupted install leaves: it is dropped. A longer line, any other bad pair, and
// (with `refuseDriveLetters`) a path with a drive make the log kMalformed, described in
// `problem`. A log that does not open is kAbsent.
LogState ReadLogFile(const std::string& logPath, const std::string& backupFolder,
                     bool refuseDriveLetters, UninstallLog* log, std::string* problem);

// Writes `log` afresh through a temporary file that is flushed and renamed over
// `logPath`: the log on disk is the old one or the new one, never a mix. False, with the
// host error in `error` and no temporary file left, when that fails.
bool WriteLogDurably(const std::string& logPath, const UninstallLog& log, host::DWORD* error);

}  // namespace engine
