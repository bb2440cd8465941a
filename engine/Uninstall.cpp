// The uninstaller: replays the uninstall log. Nothing is deleted before everything that
// depends on it is safe: every pair is restored first, then the log is rewritten to hold
// only the pairs that failed (or deleted), and only then are the restored pairs' saved
// copies deleted. So an interruption at any point leaves every original somewhere a later
// Uninstall finds it.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/PathText.h"
#include "engine/UninstallLog.h"
#include "platform/Host.h"
#include "platform/Paths.h"

namespace engine {
namespace {

constexpr char kFlagPiece[] = "\\JXPatch\\Back.JX";

std::size_t Depth(std::string_view path) {
  return static_cast<std::size_t>(std::count_if(path.begin(), path.end(), host::IsSeparator));
}

class Uninstaller {
 public:
  Uninstaller(const char* packageFolder, Report& report)
      : packageFolder_(packageFolder ? packageFolder : ""), report_(report) {}

  bool Run() {
    if (!ReadLog()) return false;
    SweepTemporaryFiles();

    std::vector<const LogPair*> restored;
    std::vector<LogPair> failed;
    RestoreAll(&restored, &failed);
    if (!UpdateLog(failed)) {
      report_.Fail(messages::UninstallCanRunAgain());
      return false;
    }
    DeleteSavedCopies(restored, failed);
    if (failed.empty()) DeleteFlagFile();
    RemoveBackupFolders(failed.empty());
    if (!failed.empty()) {
      report_.Fail(messages::UninstallCanRunAgain());
      return false;
    }
    return true;
  }

 private:
  enum class Outcome { kRestored, kNothingSaved, kFailed };

  bool ReadLog() {
    if (packageFolder_.empty()) {
      report_.Fail(messages::NoPackageFolder());
      return false;
    }
    std::string problem;
    if (!MakePackagePaths(packageFolder_.c_str(), &paths_, &problem)) {
      report_.Fail(messages::PathTooLong(problem));
      return false;
    }
    const LogState state =
        ReadLogFile(paths_.logPath, paths_.backupFolder, !host::kIsWindows, &log_, &problem);
    switch (state) {
      case LogState::kReadable: return true;
      case LogState::kMalformed: report_.Fail(problem); return false;
      case LogState::kAbsent: break;
    }
    host::DWORD error = 0;
    if (Probe(paths_.logPath, &error) == Found::kMissing) {
      report_.Fail(messages::NoInstallToUndo());
    } else {
      report_.Fail(messages::LogUnreadable(paths_.logPath, error), error);
    }
    return false;
  }

  // Temporary files left by an interrupted run in the folders this uninstall writes to.
  void SweepTemporaryFiles() {
    std::vector<std::string> folders{paths_.backupFolder};
    PathIndex seen;
    seen.Add(paths_.backupFolder, 0);
    for (const LogPair& pair : log_.pairs) {
      if (std::string link; ThroughLink(pair, &link)) continue;
      for (std::string_view folder :
           {host::ParentOf(pair.backupPath), host::ParentOf(pair.gameFilePath)}) {
        if (folder.empty() || seen.Find(folder).found) continue;
        seen.Add(folder, 0);
        folders.emplace_back(folder);
      }
    }
    for (const std::string& folder : folders) {
      if (Probe(folder) == Found::kFolder) host::RemoveTemporaryFiles(folder.c_str());
    }
  }

  // Puts every saved copy back over its game file. A flush costs a disk cache flush, so
  // the copies go in batches (in log order, no game file twice in one): all written as
  // temporary files beside their game files and flushed together, then renamed into place
  // and flushed together. A restore counts only once its rename is on the disk. Both
  // lists keep the log's order.
  void RestoreAll(std::vector<const LogPair*>* restored, std::vector<LogPair>* failed) {
    std::vector<Outcome> outcomes(log_.pairs.size(), Outcome::kNothingSaved);
    std::vector<std::size_t> batch;
    PathIndex batchFiles;
    for (std::size_t i = 0; i < log_.pairs.size(); ++i) {
      const Match repeated = batchFiles.Find(log_.pairs[i].gameFilePath);
      if (repeated.found || repeated.ambiguous) {
        RestoreBatch(batch, &outcomes);
        batch.clear();
        batchFiles = PathIndex();
      }
      batch.push_back(i);
      batchFiles.Add(log_.pairs[i].gameFilePath, i);
    }
    RestoreBatch(batch, &outcomes);
    for (std::size_t i = 0; i < log_.pairs.size(); ++i) {
      switch (outcomes[i]) {
        case Outcome::kRestored: restored->push_back(&log_.pairs[i]); break;
        case Outcome::kNothingSaved: break;  // the install added that file; it stays
        case Outcome::kFailed: failed->push_back(log_.pairs[i]); break;
      }
    }
  }

  // True when the pair's game file lies below a link inside the game folder, or its saved copy
  // below a link inside the package folder: what the link leads to is elsewhere, so the pair
  // is not restored. A game file outside the logged game folder has only its own name
  // checked (by the host, when it is written).
  bool ThroughLink(const LogPair& pair, std::string* link) const {
    const std::string_view gameFolder = log_.gameFolder;
    const std::size_t gameRoot =
        pair.gameFilePath.size() > gameFolder.size() &&
                host::SamePath(std::string_view(pair.gameFilePath).substr(0, gameFolder.size()),
                               gameFolder)
            ? gameFolder.size()
            : host::ParentOf(pair.gameFilePath).size();
    return host::GoesThroughLink(pair.gameFilePath, gameRoot, link) ||
           host::GoesThroughLink(pair.backupPath, packageFolder_.size(), link);
  }

  void RestoreBatch(const std::vector<std::size_t>& batch, std::vector<Outcome>* outcomes) {
    auto failAll = [&](const std::vector<std::size_t>& pairs, host::DWORD error) {
      for (std::size_t i : pairs) {
        const LogPair& pair = log_.pairs[i];
        host::DeleteFileA((pair.gameFilePath + host::kTemporarySuffix).c_str());
        report_.Fail(messages::NotRestored(pair.gameFilePath, pair.backupPath, error), error);
        (*outcomes)[i] = Outcome::kFailed;
      }
    };
    std::vector<std::size_t> copied;
    std::vector<std::string> paths;
    for (std::size_t i : batch) {
      const LogPair& pair = log_.pairs[i];
      host::DWORD error = 0;
      if (std::string link; ThroughLink(pair, &link)) {
        report_.Fail(messages::NotRestoredThroughLink(pair.gameFilePath, link));
        (*outcomes)[i] = Outcome::kFailed;
        continue;
      }
      switch (Probe(pair.backupPath, &error)) {
        case Found::kMissing: continue;
        case Found::kFile:
        case Found::kReadOnlyFile:
          if (host::CopyFileToTemporary(pair.backupPath.c_str(), pair.gameFilePath.c_str())) {
            copied.push_back(i);
            paths.push_back(pair.gameFilePath);
            continue;
          }
          error = host::GetLastError();
          break;
        case Found::kFolder:
        case Found::kAmbiguous:
        case Found::kError:
          if (error == 0) error = host::kErrorAccessDenied;
          break;
      }
      report_.Fail(messages::NotRestored(pair.gameFilePath, pair.backupPath, error), error);
      (*outcomes)[i] = Outcome::kFailed;
    }
    if (copied.empty()) return;
    if (!host::FlushToDisk(paths)) {
      failAll(copied, host::GetLastError());
      return;
    }
    std::vector<std::size_t> renamed;
    paths.clear();
    for (std::size_t i : copied) {
      const LogPair& pair = log_.pairs[i];
      if (host::MoveFileReplace((pair.gameFilePath + host::kTemporarySuffix).c_str(),
                                pair.gameFilePath.c_str())) {
        renamed.push_back(i);
        paths.push_back(pair.gameFilePath);
      } else {
        failAll({i}, host::GetLastError());
      }
    }
    if (renamed.empty()) return;
    // Renamed but perhaps not on the disk: such a restore is not relied on, so its saved
    // copy and its pair stay for the next uninstall.
    if (!host::FlushToDisk(paths)) {
      failAll(renamed, host::GetLastError());
      return;
    }
    for (std::size_t i : renamed) (*outcomes)[i] = Outcome::kRestored;
  }

  // The log keeps exactly the pairs still to be restored; none left, no log.
  bool UpdateLog(const std::vector<LogPair>& failed) {
    host::DWORD error = 0;
    bool updated = false;
    if (failed.empty()) {
      updated = DeleteIfPresent(paths_.logPath);
      if (!updated) error = host::GetLastError();
    } else {
      UninstallLog rest;
      rest.gameFolder = log_.gameFolder;
      rest.pairs = failed;
      updated = WriteLogDurably(paths_.logPath, rest, &error);
    }
    if (!updated) report_.Fail(messages::LogNotUpdated(paths_.logPath, error), error);
    return updated;
  }

  void DeleteSavedCopies(const std::vector<const LogPair*>& restored,
                         const std::vector<LogPair>& failed) {
    PathIndex keep;  // still needed by a failed pair, or deleted already
    for (const LogPair& pair : failed) keep.Add(pair.backupPath, 0);
    for (const LogPair* pair : restored) {
      const std::string& path = pair->backupPath;
      // A saved copy that a failed pair still needs stays, whatever other pair named it.
      const Match kept = keep.Find(path);
      if (kept.found || kept.ambiguous) continue;
      keep.Add(path, 0);
      // A copy keeps the read-only attribute of the file it was made from.
      if (Probe(path) == Found::kReadOnlyFile) {
        host::SetFileAttributesA(path.c_str(), host::kAttributeNormal);
      }
      if (!DeleteIfPresent(path)) {
        const host::DWORD error = host::GetLastError();
        report_.Warn(messages::SavedCopyNotDeleted(path, error), error);
      }
    }
  }

  // With an empty game folder line there is no flag file to find: the path would name
  // "\JXPatch\Back.JX" at the root of the drive.
  void DeleteFlagFile() {
    if (log_.gameFolder.empty()) return;
    std::string flagPath;
    if (!JoinPath({log_.gameFolder, kFlagPiece}, &flagPath)) {
      report_.Warn(messages::FlagNotDeleted(log_.gameFolder + kFlagPiece,
                                            host::kErrorFilenameExcedRange),
                   host::kErrorFilenameExcedRange);
      return;
    }
    if (!DeleteIfPresent(flagPath)) {
      const host::DWORD error = host::GetLastError();
      report_.Warn(messages::FlagNotDeleted(flagPath, error), error);
    }
  }

  // Subfolders of the backup folder that saved copies needed go when empty, deepest
  // first; then the backup folder itself, when the whole install was undone.
  void RemoveBackupFolders(bool all) {
    std::vector<std::string> folders;
    PathIndex seen;
    const std::size_t base = paths_.backupFolder.size();
    for (const LogPair& pair : log_.pairs) {
      std::string_view folder = host::ParentOf(pair.backupPath);
      while (folder.size() > base && !seen.Find(folder).found) {
        seen.Add(folder, 0);
        folders.emplace_back(folder);
        folder = host::ParentOf(folder);
      }
    }
    auto deeper = [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); };
    std::stable_sort(folders.begin(), folders.end(), deeper);
    for (const std::string& folder : folders) host::RemoveDirectoryA(folder.c_str());
    if (!all) return;
    if (!host::RemoveDirectoryA(paths_.backupFolder.c_str()) &&
        Probe(paths_.backupFolder) == Found::kFolder) {
      report_.Warn(messages::BackupFolderKept(paths_.backupFolder));
    }
  }

  std::string packageFolder_;
  Report& report_;
  PackagePaths paths_;
  UninstallLog log_;
};

}  // namespace

int RunUninstall(const char* packageFolder, Report* report) {
  Report run;
  const bool undone = Uninstaller(packageFolder, run).Run();
  if (report) report->Append(run);
  return undone && run.Succeeded() ? 0 : 1;
}

LogState ReadUninstallLog(const char* packageFolder, UninstallLog* log, std::string* problem) {
  PackagePaths paths;
  std::string tooLong;
  if (!MakePackagePaths(packageFolder ? packageFolder : "", &paths, &tooLong)) {
    *problem = messages::PathTooLong(tooLong);
    return LogState::kMalformed;
  }
  return ReadLogFile(paths.logPath, paths.backupFolder, !host::kIsWindows, log, problem);
}

}  // namespace engine
