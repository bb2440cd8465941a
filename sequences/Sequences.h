// The install and uninstall as a player starts them, for every front end (the dialogs, the
// command line). The package folder is the current directory at the moment of the call.
// These functions show nothing: they return what happened, and the front end shows it.
#pragma once

#include <string>
#include <vector>

#include "engine/Report.h"

namespace sequences {

// The system's own texts.
inline constexpr char kPackageName[] = "Kyr.jxf";
inline constexpr char kMissingPackageText[] =
    "Can't find installion package!  Aborting install!";
inline constexpr char kInstalledText[] = "Patch Installed!";
inline constexpr char kUninstalledText[] = "Patch Uninstalled!";
inline constexpr char kNotInstalledText[] = "Patch not installed.";
inline constexpr char kNotUninstalledText[] = "Patch not fully uninstalled.";

enum class InstallOutcome {
  kInstalled,       // every command did what it says (the report may hold warnings)
  kPackageMissing,  // "Kyr.jxf" does not open in the package folder; nothing changed
  kBadGameFolder,   // the game folder is empty, too long or no folder; nothing changed
  kPackageDamaged,  // the package could not be extracted; no game file changed
  kFailed,          // the install failed; the report says what, and what was put back
};

struct InstallResult {
  InstallOutcome outcome = InstallOutcome::kFailed;
  engine::Report report;
};

// Package check, extraction into the staging folder, backup folder, install script.
InstallResult Install(const char* gameFolder);

struct UninstallResult {
  bool succeeded = false;
  engine::Report report;
};

// Replays the uninstall log of the package folder.
UninstallResult Uninstall();

struct PairStatus {
  std::string backupPath;
  std::string gameFilePath;
  bool savedCopyExists = false;  // false: the install added the game file
};

struct Status {
  bool installed = false;   // the uninstall log opens
  bool readable = true;     // false: a log exists but is malformed (`problem` says why)
  std::string problem;
  std::string gameFolder;   // the log's game folder line
  std::vector<PairStatus> pairs;
};

// What the uninstall log of the package folder records.
Status ReadStatus();

// Whether an uninstall log exists in the package folder (what enables Uninstall).
bool InstallRecorded();

}  // namespace sequences
