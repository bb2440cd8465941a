#include "sequences/Sequences.h"

#include <string>

#include "engine/Engine.h"
#include "package/ZipExtractor.h"
#include "platform/Host.h"
#include "platform/Paths.h"

namespace sequences {
namespace {

constexpr char kStagingSuffix[] = "\\Temp";
constexpr char kBackupSuffix[] = "\\QUARN Backup";
constexpr char kLogSuffix[] = "\\QUARN Backup\\Uninstall.cfg";

// The package folder: the current directory, now. False when it cannot be read or is too
// long for a path buffer.
bool PackageFolder(char* buffer) {
  const host::DWORD length = host::GetCurrentDirectoryA(host::kMaxPath, buffer);
  return length > 0 && length < host::kMaxPath;
}

bool PackageFolderPlus(const char* suffix, char* buffer) {
  return PackageFolder(buffer) && host::AppendToPath(buffer, suffix);
}

bool FileOpensForReading(const char* path) {
  host::HANDLE file = host::CreateFileA(path, host::kGenericRead, host::kOpenExisting);
  if (file == host::kInvalidHandle) return false;
  host::CloseHandle(file);
  return true;
}

// Removes what an extraction wrote: its files, then the folders it made, deepest first,
// when they are empty. Anything else in the staging folder stays.
void RemoveExtracted(const package::ExtractionRecord& record, engine::Report* report) {
  bool leftovers = false;
  for (const std::string& file : record.files) {
    if (host::GetFileAttributesA(file.c_str()) != host::kInvalidFileAttributes &&
        !host::DeleteFileA(file.c_str())) {
      leftovers = true;
    }
  }
  for (auto folder = record.folders.rbegin(); folder != record.folders.rend(); ++folder) {
    if (host::GetFileAttributesA(folder->c_str()) != host::kInvalidFileAttributes &&
        !host::RemoveDirectoryA(folder->c_str())) {
      leftovers = true;
    }
  }
  if (leftovers) {
    report->Warn("Some extracted files could not be removed from the Temp folder.");
  }
}

// Why `gameFolder` cannot be installed into, or empty when it can.
std::string CheckGameFolder(const char* gameFolder) {
  const std::string folder = gameFolder != nullptr ? gameFolder : "";
  if (folder.empty()) return "No game folder was given.";
  if (folder.size() >= host::kMaxPath) {
    return "The game folder name is too long (at most 259 characters): " + folder;
  }
  const host::DWORD attributes = host::GetFileAttributesA(folder.c_str());
  if (attributes == host::kInvalidFileAttributes ||
      (attributes & host::kAttributeDirectory) == 0) {
    return "The game folder does not exist: " + folder;
  }
  return {};
}

}  // namespace

InstallResult Install(const char* gameFolder) {
  InstallResult result;
  engine::Report& report = result.report;

  if (!FileOpensForReading(kPackageName)) {
    result.outcome = InstallOutcome::kPackageMissing;
    report.Fail(kMissingPackageText, host::GetLastError());
    return result;
  }

  if (const std::string problem = CheckGameFolder(gameFolder); !problem.empty()) {
    result.outcome = InstallOutcome::kBadGameFolder;
    report.Fail(problem);
    return result;
  }

  char packageFolder[host::kMaxPath];
  char staging[host::kMaxPath];
  char backup[host::kMaxPath];
  if (!PackageFolder(packageFolder) || !PackageFolderPlus(kStagingSuffix, staging) ||
      !PackageFolderPlus(kBackupSuffix, backup)) {
    result.outcome = InstallOutcome::kFailed;
    report.Fail("The package folder's name is too long to work in.");
    return result;
  }

  // What a linked staging or backup folder leads to lies outside the package folder: nothing
  // is extracted or saved through it.
  for (const char* folder : {staging, backup}) {
    const host::DWORD attributes = host::GetFileAttributesA(folder);
    if (attributes != host::kInvalidFileAttributes &&
        (attributes & host::kAttributeReparsePoint) != 0) {
      result.outcome = InstallOutcome::kFailed;
      report.Fail(std::string("The package ") + kPackageName + " was not extracted: \"" +
                  folder + "\" is a link to another place, and nothing is written through it. " +
                  "No game file was changed.");
      return result;
    }
  }

  package::ZipExtractor extractor;
  const bool extracted =
      extractor.Open(kPackageName) && extractor.ExtractAll(staging, false);
  const package::ExtractionRecord record = extractor.Record();
  std::string extractionProblem = extractor.LastProblem();
  extractor.Close();
  if (!extracted) {
    RemoveExtracted(record, &report);
    result.outcome = InstallOutcome::kPackageDamaged;
    if (extractionProblem.empty()) extractionProblem = "it is no readable ZIP archive";
    report.Fail(std::string("The package ") + kPackageName + " could not be extracted: " +
                extractionProblem + ". No game file was changed.");
    return result;
  }

  if (!host::CreateDirectoryA(backup) &&
      (host::GetFileAttributesA(backup) & host::kAttributeDirectory) == 0) {
    const host::DWORD error = host::GetLastError();
    RemoveExtracted(record, &report);
    result.outcome = InstallOutcome::kFailed;
    report.Fail(std::string("The backup folder could not be made: ") + backup, error);
    return result;
  }

  engine::StagedSet staged{record.files, record.folders};
  const int status = engine::RunInstallScript(packageFolder, gameFolder, staged, &report);
  result.outcome = status == 0 ? InstallOutcome::kInstalled : InstallOutcome::kFailed;
  return result;
}

UninstallResult Uninstall() {
  UninstallResult result;
  char packageFolder[host::kMaxPath];
  if (!PackageFolder(packageFolder)) {
    result.report.Fail("The package folder's name is too long to work in.");
    return result;
  }
  result.succeeded = engine::RunUninstall(packageFolder, &result.report) == 0;
  return result;
}

Status ReadStatus() {
  Status status;
  char packageFolder[host::kMaxPath];
  if (!PackageFolder(packageFolder)) {
    status.readable = false;
    status.problem = "The package folder's name is too long to work in.";
    return status;
  }
  engine::UninstallLog log;
  switch (engine::ReadUninstallLog(packageFolder, &log, &status.problem)) {
    case engine::LogState::kAbsent:
      return status;
    case engine::LogState::kMalformed:
      status.installed = true;
      status.readable = false;
      return status;
    case engine::LogState::kReadable:
      break;
  }
  status.installed = true;
  status.gameFolder = log.gameFolder;
  for (const engine::LogPair& pair : log.pairs) {
    const host::DWORD attributes = host::GetFileAttributesA(pair.backupPath.c_str());
    status.pairs.push_back(
        {pair.backupPath, pair.gameFilePath,
         attributes != host::kInvalidFileAttributes &&
             (attributes & host::kAttributeDirectory) == 0});
  }
  return status;
}

bool InstallRecorded() {
  char log[host::kMaxPath];
  return PackageFolderPlus(kLogSuffix, log) && FileOpensForReading(log);
}

}  // namespace sequences
