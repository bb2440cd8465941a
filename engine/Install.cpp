// The install script runner. It works in two phases:
//   plan: read the whole script and check it against the package, the game folder, the
//         backup folder and the earlier uninstall log, without changing anything;
//   act:  write the flag file and the log, then for each command (or run of "copyfile"
//         commands, flushed together) log the pairs (flushed to disk), save the originals
//         and replace or patch the game files.
// A failure while acting puts back every game file, the log and the flag file as they were
// before the run. The staging folder is cleaned up whatever the outcome.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/BytePatch.h"
#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/PathText.h"
#include "engine/Script.h"
#include "engine/UninstallLog.h"
#include "platform/Host.h"
#include "platform/Paths.h"
#include "platform/TextStream.h"

namespace engine {
namespace {

constexpr char kFlagPiece[] = "\\JXPatch\\Back.JX";

// What puts a game file back as it was before this run.
enum class Origin {
  kSaved,  // this run saved it to its backup path
  kUndo,   // an earlier install had saved it; this run keeps a copy aside until it ends
  kAdded,  // it did not exist: putting back deletes it
};

struct Step {
  const ScriptCommand* command = nullptr;
  std::string source;    // the staged file, or the byte patch file
  std::string gamePath;  // the game file, or the byte patch target
  bool logsPair = false;    // a new pair (backupPath, gamePath) goes into the log first
  std::string backupPath;
  bool firstTouch = false;  // this run has not changed the file before this step
  Origin origin = Origin::kAdded;
  std::string undoPath;     // for Origin::kUndo
};

struct Plan {
  PackagePaths paths;
  std::string gameFolder;
  std::string flagPath;
  std::string flagUndoPath;
  std::string logUndoPath;
  bool earlierLogExists = false;
  UninstallLog earlier;
  std::vector<ScriptCommand> commands;
  std::vector<Step> steps;
  std::vector<std::string> touchedFolders;  // swept of stray temporary files
};

// Undo copies live in the backup folder under names that end in the temporary suffix, so
// that one left by a crash is swept by the next run like any other temporary file.
std::string UndoName(const std::string& tag) {
  return "Undo-" + tag + host::kTemporarySuffix;
}

// ---- Plan --------------------------------------------------------------------------------

class Planner {
 public:
  Planner(const char* packageFolder, const char* gameFolder, const StagedSet& staged,
          Report& report)
      : packageFolder_(packageFolder), gameFolder_(gameFolder), staged_(staged),
        report_(report) {}

  // Fills `plan`; false (with the first problem in the report) when the install must not
  // start. Changes nothing.
  bool Make(Plan* plan) {
    plan_ = plan;
    plan->gameFolder = gameFolder_;
    for (std::size_t i = 0; i < staged_.files.size(); ++i) stagedFiles_.Add(staged_.files[i], i);
    return CheckFolders() && ReadScript() && ReadEarlierLog() && PlanCommands();
  }

 private:
  bool Fail(std::string text, host::DWORD error = 0) {
    report_.Fail(std::move(text), error);
    return false;
  }

  bool Join(std::initializer_list<std::string_view> pieces, std::string* path,
            bool durable = false) {
    if (!JoinPath(pieces, path)) {
      std::string whole;
      for (std::string_view piece : pieces) whole += piece;
      return Fail(messages::PathTooLong(whole));
    }
    if (durable && !FitsWithTemporary(*path)) {
      return Fail(messages::PathTooLong(*path + host::kTemporarySuffix));
    }
    return true;
  }

  // Refuses `path` when a folder or file of it below `root` is a link: what it leads to lies
  // outside the game or package folder.
  bool NoLinkBelow(const std::string& root, const std::string& path) {
    std::string link;
    if (host::GoesThroughLink(path, root.size(), &link)) return Fail(messages::ThroughLink(link));
    return true;
  }

  bool CheckFolders() {
    if (packageFolder_.empty()) return Fail(messages::NoPackageFolder());
    if (gameFolder_.empty()) return Fail(messages::NoGameFolder());
    std::string tooLong;
    if (!MakePackagePaths(packageFolder_.c_str(), &plan_->paths, &tooLong)) {
      return Fail(messages::PathTooLong(tooLong));
    }
    const PackagePaths& paths = plan_->paths;
    if (!Join({gameFolder_}, &plan_->gameFolder) ||
        !Join({gameFolder_, kFlagPiece}, &plan_->flagPath) ||
        !Join({paths.backupPrefix, UndoName("flag")}, &plan_->flagUndoPath) ||
        !Join({paths.backupPrefix, UndoName("log")}, &plan_->logUndoPath)) {
      return false;
    }
    if (!NoLinkBelow(gameFolder_, plan_->flagPath) ||
        !NoLinkBelow(packageFolder_, paths.stagingPrefix) ||
        !NoLinkBelow(packageFolder_, paths.logPath)) {
      return false;
    }
    host::DWORD error = 0;
    switch (Probe(gameFolder_, &error)) {
      case Found::kFolder: break;
      case Found::kAmbiguous: return Fail(messages::Ambiguous(gameFolder_), error);
      case Found::kError: return Fail(messages::CannotExamine(gameFolder_, error), error);
      default: return Fail(messages::FolderMissing(gameFolder_), error);
    }
    AddFolder(paths.backupFolder);
    return true;
  }

  bool ReadScript() {
    const Match listed = stagedFiles_.Find(plan_->paths.scriptPath);
    if (!listed.found) return Fail(messages::ScriptMissing());
    return ReadInstallScript(plan_->paths.scriptPath.c_str(), &plan_->commands, &report_);
  }

  // A new install keeps the pairs of the log it finds: their saved copies hold the true
  // originals, which one uninstall must restore.
  bool ReadEarlierLog() {
    std::string problem;
    const LogState state = ReadLogFile(plan_->paths.logPath, plan_->paths.backupFolder,
                                       !host::kIsWindows, &plan_->earlier, &problem);
    if (state == LogState::kMalformed) return Fail(messages::EarlierLogUnusable(problem));
    if (state == LogState::kReadable) {
      plan_->earlierLogExists = true;
      const std::vector<LogPair>& pairs = plan_->earlier.pairs;
      for (std::size_t i = 0; i < pairs.size(); ++i) {
        earlierGameFiles_.Add(pairs[i].gameFilePath, i);
        Claim(pairs[i]);
      }
      if (Probe(plan_->paths.logPath) == Found::kReadOnlyFile) {
        return Fail(messages::ReadOnly(plan_->paths.logPath), host::kErrorAccessDenied);
      }
      return true;
    }
    host::DWORD error = 0;
    const Found found = Probe(plan_->paths.logPath, &error);
    if (found != Found::kMissing) {
      return Fail(messages::EarlierLogUnreadable(plan_->paths.logPath, error), error);
    }
    return true;
  }

  bool CheckName(const ScriptCommand& command, const std::string& name, bool leadingSeparator,
                 bool becomesGameFile) {
    host::NameRules rules;
    rules.leadingSeparatorAllowed = leadingSeparator;
    const host::NameProblem problem = host::CheckRelativeName(name, rules);
    if (problem != host::NameProblem::kNone) {
      return Fail(messages::BadName(command.number, command.word, name, problem));
    }
    if (becomesGameFile && HasTemporarySuffix(host::LastComponent(name))) {
      return Fail(messages::TemporaryName(command.number, command.word, name));
    }
    return true;
  }

  bool CheckStaged(const ScriptCommand& command, const std::string& path) {
    const Match match = stagedFiles_.Find(path);
    if (match.ambiguous) {
      return Fail(messages::AmbiguousInPackage(command.number, command.word, path));
    }
    if (!match.found) return Fail(messages::NotInPackage(command.number, command.word, path));
    host::DWORD error = 0;
    const Found found = Probe(path, &error);
    if (IsFile(found)) return true;
    if (found == Found::kFolder) return Fail(messages::IsAFolder(path));
    if (found == Found::kMissing) {
      return Fail(messages::NotInPackage(command.number, command.word, path), error);
    }
    return Fail(messages::CannotExamine(path, error), error);
  }

  // Whether the game file is there now; a file this run changes must be writable.
  bool ExamineGameFile(const std::string& path, bool* exists) {
    host::DWORD error = 0;
    switch (Probe(path, &error)) {
      case Found::kFile: *exists = true; return true;
      case Found::kMissing: *exists = false; return true;
      case Found::kReadOnlyFile:
        return Fail(messages::ReadOnly(path), host::kErrorAccessDenied);
      case Found::kFolder: return Fail(messages::IsAFolder(path));
      case Found::kAmbiguous: return Fail(messages::Ambiguous(path), error);
      case Found::kError: break;
    }
    return Fail(messages::CannotExamine(path, error), error);
  }

  // Decides how the step's game file is recorded and how it can be put back:
  //  - already changed by this run: nothing more to record;
  //  - listed by the earlier log with a saved copy: that copy is its original; it is never
  //    saved again, and this run keeps a copy aside only to put back its present content;
  //  - listed by the earlier log without a saved copy, yet present: either an earlier
  //    install added it, or an install that was interrupted logged it and never got to
  //    save it (then it is still the original). It is saved to its listed backup path,
  //    which loses nothing in either case;
  //  - otherwise: a new pair, and the original is saved when the file exists.
  bool PlanRecord(Step* step, const std::string& backupPath, bool exists) {
    const Match touched = touched_.Find(step->gamePath);
    if (touched.ambiguous) return Fail(messages::Ambiguous(step->gamePath));
    if (touched.found) return true;

    const Match earlier = earlierGameFiles_.Find(step->gamePath);
    if (earlier.ambiguous) return Fail(messages::Ambiguous(step->gamePath));
    step->firstTouch = true;
    touched_.Add(step->gamePath, 0);
    if (earlier.found) return PlanListed(step, plan_->earlier.pairs[earlier.index], exists);

    // A saved copy is never overwritten: the backup path must be free and unclaimed.
    if (host::SamePath(backupPath, plan_->paths.logPath)) {
      return Fail(messages::BackupIsLog(backupPath));
    }
    const Match claimed = claims_.Find(backupPath);
    if (claimed.found || claimed.ambiguous) {
      return Fail(messages::BackupTaken(backupPath, claimOwners_[claimed.index]));
    }
    if (!CheckBackupFree(backupPath)) return false;

    step->logsPair = true;
    step->backupPath = backupPath;
    step->origin = exists ? Origin::kSaved : Origin::kAdded;
    Claim({backupPath, step->gamePath});
    AddFolder(host::ParentOf(backupPath));
    return true;
  }

  bool PlanListed(Step* step, const LogPair& listed, bool exists) {
    if (!exists) {
      step->origin = Origin::kAdded;
      return true;
    }
    host::DWORD error = 0;
    const Found saved = Probe(listed.backupPath, &error);
    if (saved == Found::kMissing) {
      step->origin = Origin::kSaved;
      step->backupPath = listed.backupPath;
      AddFolder(host::ParentOf(listed.backupPath));
      return true;
    }
    if (saved == Found::kError || saved == Found::kAmbiguous) {
      return Fail(messages::CannotExamine(listed.backupPath, error), error);
    }
    step->origin = Origin::kUndo;
    return Join({plan_->paths.backupPrefix, UndoName(std::to_string(plan_->steps.size()))},
                &step->undoPath);
  }

  bool CheckBackupFree(const std::string& backupPath) {
    host::DWORD error = 0;
    const Found found = Probe(backupPath, &error);
    if (found == Found::kError) return Fail(messages::CannotExamine(backupPath, error), error);
    if (found != Found::kMissing) return Fail(messages::BackupOccupied(backupPath));
    return true;
  }

  void Claim(const LogPair& pair) {
    claims_.Add(pair.backupPath, claimOwners_.size());
    claimOwners_.push_back(pair.gameFilePath);
  }

  void AddFolder(std::string_view folder) {
    if (folder.empty() || folders_.Find(folder).found) return;
    folders_.Add(folder, 0);
    plan_->touchedFolders.emplace_back(folder);
  }

  bool PlanCopy(const ScriptCommand& command) {
    if (!CheckName(command, command.second, false, true) ||
        !CheckName(command, command.third, true, false)) {
      return false;
    }
    Step step;
    step.command = &command;
    std::string backupPath;
    if (!Join({gameFolder_, command.third, "\\", command.second}, &step.gamePath, true) ||
        !Join({plan_->paths.backupPrefix, command.second}, &backupPath, true) ||
        !Join({plan_->paths.stagingPrefix, command.second}, &step.source) ||
        !CheckStaged(command, step.source) || !NoLinkBelow(gameFolder_, step.gamePath) ||
        !NoLinkBelow(packageFolder_, backupPath) || !NoLinkBelow(packageFolder_, step.source)) {
      return false;
    }
    const std::string folder(host::ParentOf(step.gamePath));
    if (!gameFolders_.Find(folder).found) {
      host::DWORD error = 0;
      switch (Probe(folder, &error)) {
        case Found::kFolder: break;
        case Found::kAmbiguous: return Fail(messages::Ambiguous(folder), error);
        case Found::kError: return Fail(messages::CannotExamine(folder, error), error);
        default: return Fail(messages::FolderMissing(folder), error);
      }
      gameFolders_.Add(folder, 0);
    }
    bool exists = false;
    if (touched_.Find(step.gamePath).found) {
      exists = true;
    } else if (!ExamineGameFile(step.gamePath, &exists)) {
      return false;
    }
    if (!PlanRecord(&step, backupPath, exists)) return false;
    AddFolder(folder);
    plan_->steps.push_back(std::move(step));
    return true;
  }

  bool PlanPatch(const ScriptCommand& command) {
    if (!CheckName(command, command.second, false, false) ||
        !CheckName(command, command.third, false, true)) {
      return false;
    }
    Step step;
    step.command = &command;
    std::string backupPath;
    if (!Join({plan_->paths.stagingPrefix, command.second}, &step.source) ||
        !Join({gameFolder_, "\\", command.third}, &step.gamePath, true) ||
        !Join({plan_->paths.backupPrefix, host::LastComponent(command.third)}, &backupPath,
              true) ||
        !CheckStaged(command, step.source) || !NoLinkBelow(gameFolder_, step.gamePath) ||
        !NoLinkBelow(packageFolder_, backupPath) || !NoLinkBelow(packageFolder_, step.source)) {
      return false;
    }
    std::string problem;
    host::DWORD error = 0;
    if (!CheckBytePatch(step.source.c_str(), &problem, &error)) return Fail(problem, error);
    // The target must exist (an earlier command of this script may have put it there);
    // it is never created.
    if (!touched_.Find(step.gamePath).found) {
      bool exists = false;
      if (!ExamineGameFile(step.gamePath, &exists)) return false;
      if (!exists) return Fail(messages::TargetMissing(step.gamePath));
    }
    if (!PlanRecord(&step, backupPath, true)) return false;
    AddFolder(host::ParentOf(step.gamePath));
    plan_->steps.push_back(std::move(step));
    return true;
  }

  bool PlanCommands() {
    plan_->steps.reserve(plan_->commands.size());
    for (const ScriptCommand& command : plan_->commands) {
      const bool planned = command.kind == ScriptCommand::Kind::kCopyFile ? PlanCopy(command)
                                                                          : PlanPatch(command);
      if (!planned) return false;
    }
    return true;
  }

  std::string packageFolder_;
  std::string gameFolder_;
  const StagedSet& staged_;
  Report& report_;
  Plan* plan_ = nullptr;
  PathIndex stagedFiles_;
  PathIndex touched_;           // game files this run changes
  PathIndex earlierGameFiles_;  // game files of the earlier log's pairs
  PathIndex claims_;            // backup paths of every pair, earlier and new
  std::vector<std::string> claimOwners_;
  PathIndex folders_;      // folders the run touches
  PathIndex gameFolders_;  // game subfolders found to exist
};

// ---- Act ---------------------------------------------------------------------------------

class Installer {
 public:
  Installer(const Plan& plan, Report& report) : plan_(plan), report_(report) {}

  // Carries out the plan; on a failure puts everything back. False when the install failed.
  bool Run() {
    for (const std::string& folder : plan_.touchedFolders) {
      host::RemoveTemporaryFiles(folder.c_str());
    }
    if (!WriteFlagFile() || !StartLog()) return RollBack();
    const std::vector<Step>& steps = plan_.steps;
    // A staged file that no later step reads can itself become the new game file.
    lastUse_.assign(steps.size(), false);
    PathIndex readLater;
    for (std::size_t i = steps.size(); i-- > 0;) {
      const Match later = readLater.Find(steps[i].source);
      lastUse_[i] = !later.found && !later.ambiguous;
      readLater.Add(steps[i].source, i);
    }
    for (std::size_t first = 0; first < steps.size();) {
      // Consecutive "copyfile" steps on game files that differ are carried out together.
      std::size_t end = first + 1;
      if (IsCopy(steps[first])) {
        while (end < steps.size() && IsCopy(steps[end]) && steps[end].firstTouch) ++end;
      }
      if (!LogPairs(first, end)) return RollBack();
      const bool carried =
          IsCopy(steps[first]) ? CarryCopies(first, end) : CarryPatch(steps[first]);
      if (!carried) return RollBack();
      first = end;
    }
    if (!log_.Close()) {
      const host::DWORD error = host::GetLastError();
      report_.Fail(messages::LogNotWritten(plan_.paths.logPath, error), error);
      return RollBack();
    }
    DropUndoCopies();
    return true;
  }

 private:
  struct Touch {
    std::string gamePath;
    Origin origin;
    std::string copy;  // the saved copy or the undo copy
  };

  bool Fail(std::string text, host::DWORD error) {
    report_.Fail(std::move(text), error);
    return false;
  }

  // The flag file is a sign for others, not part of what the install promises: a flag
  // file that cannot be written is a warning. Its earlier content is kept aside so that a
  // failed run can put it back.
  bool WriteFlagFile() {
    const Found found = Probe(plan_.flagPath);
    flagExisted_ = IsFile(found);
    // A read-only flag file cannot be written below, so it needs no copy aside.
    if (found == Found::kFile) {
      if (!host::CopyFileA(plan_.flagPath.c_str(), plan_.flagUndoPath.c_str(), 0)) {
        const host::DWORD error = host::GetLastError();
        return Fail(messages::NotSetAside(plan_.flagPath, error), error);
      }
      flagUndoMade_ = true;
    }
    host::TextWriter writer;
    if (!writer.Create(plan_.flagPath.c_str())) {
      const host::DWORD error = host::GetLastError();
      report_.Warn(messages::FlagNotWritten(plan_.flagPath, error), error);
      return true;
    }
    flagTouched_ = true;
    writer.Write(messages::kFlagFileText);
    if (!writer.Close()) {
      const host::DWORD error = host::GetLastError();
      report_.Warn(messages::FlagNotWritten(plan_.flagPath, error), error);
      PutFlagBack();
    }
    return true;
  }

  bool PutFlagBack() {
    if (!flagTouched_) return true;
    const bool putBack =
        flagExisted_ ? host::CopyFileA(plan_.flagUndoPath.c_str(), plan_.flagPath.c_str(), 0)
                     : DeleteIfPresent(plan_.flagPath);
    if (putBack) flagTouched_ = false;
    return putBack;
  }

  // The log is rewritten durably with the new game folder line and every earlier pair,
  // then opened for appending this run's pairs.
  bool StartLog() {
    const std::string& logPath = plan_.paths.logPath;
    const std::string& backupFolder = plan_.paths.backupFolder;
    if (Probe(backupFolder) == Found::kMissing) {
      if (!host::CreateDirectoryA(backupFolder.c_str())) {
        const host::DWORD error = host::GetLastError();
        return Fail(messages::BackupFolderNotMade(backupFolder, error), error);
      }
      createdFolders_.push_back(backupFolder);
    }
    if (plan_.earlierLogExists) {
      if (!host::CopyFileA(logPath.c_str(), plan_.logUndoPath.c_str(), 0)) {
        const host::DWORD error = host::GetLastError();
        return Fail(messages::LogNotWritten(logPath, error), error);
      }
      logUndoMade_ = true;
    }
    UninstallLog fresh;
    fresh.gameFolder = plan_.gameFolder;
    fresh.pairs = plan_.earlier.pairs;
    host::DWORD error = 0;
    logTouched_ = true;
    if (!WriteLogDurably(logPath, fresh, &error) || !log_.OpenForAppend(logPath.c_str())) {
      if (error == 0) error = host::GetLastError();
      return Fail(messages::LogNotWritten(logPath, error), error);
    }
    return true;
  }

  // Makes the folders of a saved copy's path inside the backup folder, parents first.
  bool MakeBackupFolders(const std::string& backupPath) {
    const std::string& base = plan_.paths.backupFolder;
    std::vector<std::string> missing;
    std::string folder(host::ParentOf(backupPath));
    if (folder.size() <= base.size()) return true;  // the backup folder itself is there
    while (folder.size() > base.size()) {
      const Found found = Probe(folder);
      if (found == Found::kFolder) break;
      missing.push_back(folder);
      folder = std::string(host::ParentOf(folder));
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      if (!host::CreateDirectoryA(it->c_str())) {
        const host::DWORD error = host::GetLastError();
        return Fail(messages::BackupFolderNotMade(*it, error), error);
      }
      createdFolders_.push_back(*it);
    }
    return true;
  }

  // Logs the new pairs of a batch of steps and forces them onto the disk together, before
  // any of their copies starts. A pair whose step has not run yet harms nothing: it names a
  // game file with no saved copy, which an uninstall leaves as it is (still the original),
  // and which a later install saves before changing it.
  bool LogPairs(std::size_t begin, std::size_t end) {
    bool any = false;
    for (std::size_t i = begin; i < end; ++i) {
      const Step& step = plan_.steps[i];
      if (!step.logsPair) continue;
      log_.WriteLine(step.backupPath.c_str());
      log_.WriteLine(step.gamePath.c_str());
      writtenPairs_.push_back({step.backupPath, step.gamePath});
      any = true;
    }
    if (any && !log_.Sync()) {
      const host::DWORD error = host::GetLastError();
      return Fail(messages::LogNotWritten(plan_.paths.logPath, error), error);
    }
    return true;
  }

  static bool IsCopy(const Step& step) {
    return step.command->kind == ScriptCommand::Kind::kCopyFile;
  }

  // A "patchfile" step, once its pair is logged: the target saved, then patched, each
  // durable on its own.
  bool CarryPatch(const Step& step) {
    if (step.firstTouch && !SetAside(step)) return false;
    return ApplyBytePatch(step.source.c_str(), step.gamePath.c_str(), &report_) == 0;
  }

  // The "copyfile" steps [first, end), each on a game file of its own, once their pairs
  // are logged. A flush costs a disk cache flush, so they are flushed together rather than
  // a few times per file:
  //   1. every saved copy and every replacement written as a temporary file beside its
  //      destination, all flushed;
  //   2. the saved copies renamed into place, flushed;
  //   3. the replacements renamed over the game files, flushed.
  // So every original is saved on the disk before its game file changes, and no rename
  // exposes data that are not on the disk yet.
  bool CarryCopies(std::size_t first, std::size_t end) {
    const std::vector<Step>& steps = plan_.steps;
    std::vector<const Step*> saving;   // steps whose saved copy is a temporary file
    std::vector<std::string> written;  // destinations of the temporary files
    // Temporary files left by a failure go before the roll-back removes the backup
    // subfolders that they may lie in.
    auto abandon = [&] {
      for (const std::string& path : written) {
        host::DeleteFileA((path + host::kTemporarySuffix).c_str());
      }
      return false;
    };
    auto fail = [&](std::string text, host::DWORD error) {
      abandon();
      return Fail(std::move(text), error);
    };

    for (std::size_t i = first; i < end; ++i) {
      const Step& step = steps[i];
      if (!step.firstTouch) continue;
      if (step.origin != Origin::kSaved) {
        if (!SetAside(step)) return abandon();
        continue;
      }
      if (!MakeBackupFolders(step.backupPath)) return abandon();
      if (!host::CopyFileToTemporary(step.gamePath.c_str(), step.backupPath.c_str())) {
        const host::DWORD error = host::GetLastError();
        return fail(messages::NotSaved(step.gamePath, step.backupPath, error), error);
      }
      saving.push_back(&step);
      written.push_back(step.backupPath);
    }
    for (std::size_t i = first; i < end; ++i) {
      const Step& step = steps[i];
      const char* source = step.source.c_str();
      const char* gamePath = step.gamePath.c_str();
      if (!(lastUse_[i] ? host::MoveFileToTemporary(source, gamePath)
                        : host::CopyFileToTemporary(source, gamePath))) {
        const host::DWORD error = host::GetLastError();
        return fail(messages::NotReplaced(step.gamePath, error), error);
      }
      written.push_back(step.gamePath);
    }
    if (!host::FlushToDisk(written)) {
      const host::DWORD error = host::GetLastError();
      return fail(messages::NotReplaced(steps[first].gamePath, error), error);
    }

    std::vector<std::string> savedPaths;
    for (const Step* step : saving) {
      if (!host::MoveFileReplace((step->backupPath + host::kTemporarySuffix).c_str(),
                                 step->backupPath.c_str())) {
        const host::DWORD error = host::GetLastError();
        return fail(messages::NotSaved(step->gamePath, step->backupPath, error), error);
      }
      touches_.push_back({step->gamePath, Origin::kSaved, step->backupPath});
      savedPaths.push_back(step->backupPath);
    }
    if (!savedPaths.empty() && !host::FlushToDisk(savedPaths)) {
      const host::DWORD error = host::GetLastError();
      const Step& step = *saving.front();
      return fail(messages::NotSaved(step.gamePath, step.backupPath, error), error);
    }

    std::vector<std::string> replaced;
    for (std::size_t i = first; i < end; ++i) {
      const Step& step = steps[i];
      if (!host::MoveFileReplace((step.gamePath + host::kTemporarySuffix).c_str(),
                                 step.gamePath.c_str())) {
        const host::DWORD error = host::GetLastError();
        return fail(messages::NotReplaced(step.gamePath, error), error);
      }
      replaced.push_back(step.gamePath);
    }
    if (!host::FlushToDisk(replaced)) {
      const host::DWORD error = host::GetLastError();
      return fail(messages::NotReplaced(steps[first].gamePath, error), error);
    }
    return true;
  }

  // Keeps what puts the game file back before it is first changed.
  bool SetAside(const Step& step) {
    switch (step.origin) {
      case Origin::kSaved:
        if (!MakeBackupFolders(step.backupPath)) return false;
        if (!host::CopyFileDurably(step.gamePath.c_str(), step.backupPath.c_str())) {
          const host::DWORD error = host::GetLastError();
          // A copy whose last flush failed is complete yet unconfirmed; the plan found the
          // backup path free, so whatever is there now is this run's and goes.
          DeleteIfPresent(step.backupPath);
          return Fail(messages::NotSaved(step.gamePath, step.backupPath, error), error);
        }
        touches_.push_back({step.gamePath, Origin::kSaved, step.backupPath});
        return true;
      case Origin::kUndo:
        if (!host::CopyFileA(step.gamePath.c_str(), step.undoPath.c_str(), 0)) {
          const host::DWORD error = host::GetLastError();
          return Fail(messages::NotSetAside(step.gamePath, error), error);
        }
        touches_.push_back({step.gamePath, Origin::kUndo, step.undoPath});
        return true;
      case Origin::kAdded:
        touches_.push_back({step.gamePath, Origin::kAdded, {}});
        return true;
    }
    return false;
  }

  void DropUndoCopies() {
    for (const Touch& touch : touches_) {
      if (touch.origin == Origin::kUndo) host::DeleteFileA(touch.copy.c_str());
    }
    if (logUndoMade_) host::DeleteFileA(plan_.logUndoPath.c_str());
    if (flagUndoMade_) host::DeleteFileA(plan_.flagUndoPath.c_str());
  }

  // Puts back every game file this run changed, then the log and the flag file. A file
  // that cannot be put back keeps its pair in the log (and its saved copy), so that
  // Uninstall can finish the job.
  bool RollBack() {
    log_.Close();
    std::vector<const Touch*> notPutBack;
    for (auto it = touches_.rbegin(); it != touches_.rend(); ++it) {
      const bool putBack = it->origin == Origin::kAdded
                               ? DeleteIfPresent(it->gamePath)
                               : host::CopyFileDurably(it->copy.c_str(), it->gamePath.c_str());
      if (!putBack) {
        const host::DWORD error = host::GetLastError();
        report_.Fail(messages::NotPutBack(it->gamePath, error), error);
        notPutBack.push_back(&*it);
      }
    }
    const std::string& logPath = plan_.paths.logPath;
    if (notPutBack.empty()) {
      if (logTouched_) {
        const bool logPutBack =
            plan_.earlierLogExists
                ? host::CopyFileDurably(plan_.logUndoPath.c_str(), logPath.c_str())
                : DeleteIfPresent(logPath);
        if (!logPutBack) {
          const host::DWORD error = host::GetLastError();
          report_.Fail(messages::LogNotPutBack(logPath, error), error);
        }
      }
      if (!PutFlagBack()) {
        const host::DWORD error = host::GetLastError();
        report_.Fail(messages::FlagNotPutBack(plan_.flagPath, error), error);
      }
    } else {
      UninstallLog kept;
      kept.gameFolder = plan_.gameFolder;
      kept.pairs = plan_.earlier.pairs;
      for (const LogPair& pair : writtenPairs_) {
        for (const Touch* touch : notPutBack) {
          if (host::SamePath(touch->gamePath, pair.gameFilePath)) kept.pairs.push_back(pair);
        }
      }
      host::DWORD error = 0;
      if (!WriteLogDurably(logPath, kept, &error)) {
        report_.Fail(messages::LogNotPutBack(logPath, error), error);
      }
    }
    // The saved copies of files put back are no longer needed, and no log names them.
    for (const Touch& touch : touches_) {
      if (touch.origin != Origin::kSaved) continue;
      bool kept = false;
      for (const Touch* failed : notPutBack) kept = kept || failed == &touch;
      if (!kept && !DeleteIfPresent(touch.copy)) {
        report_.Warn(messages::LeftInBackup(touch.copy), host::GetLastError());
      }
    }
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
      host::RemoveDirectoryA(it->c_str());
    }
    DropUndoCopies();
    for (const std::string& folder : plan_.touchedFolders) {
      host::RemoveTemporaryFiles(folder.c_str());
    }
    if (notPutBack.empty()) report_.Fail(messages::InstallUndone());
    return false;
  }

  const Plan& plan_;
  Report& report_;
  host::TextWriter log_;
  std::vector<Touch> touches_;
  std::vector<bool> lastUse_;  // per step: no later step reads its source
  std::vector<LogPair> writtenPairs_;
  std::vector<std::string> createdFolders_;
  bool flagExisted_ = false;
  bool flagUndoMade_ = false;
  bool flagTouched_ = false;
  bool logUndoMade_ = false;
  bool logTouched_ = false;
};

// Removes what this install's extraction wrote: its files, then its folders deepest first
// when they are empty, then the staging folder itself when it is empty. Anything else in
// the staging folder stays.
void CleanStaging(const PackagePaths* paths, const StagedSet& staged, Report& report) {
  for (const std::string& file : staged.files) {
    if (!DeleteIfPresent(file)) report.Warn(messages::LeftInStaging(file), host::GetLastError());
  }
  for (auto it = staged.folders.rbegin(); it != staged.folders.rend(); ++it) {
    if (host::RemoveDirectoryA(it->c_str())) continue;
    const host::DWORD error = host::GetLastError();
    const bool isStagingFolder =
        paths && host::SamePath(*it + "\\", paths->stagingPrefix);
    if (!IsNotFound(error) && !isStagingFolder) report.Warn(messages::LeftInStaging(*it), error);
  }
  if (paths) host::RemoveDirectoryA(paths->stagingPrefix.c_str());
}

}  // namespace

int RunInstallScript(const char* packageFolder, const char* gameFolder, const StagedSet& staged,
                     Report* report) {
  Report run;
  Plan plan;
  Planner planner(packageFolder ? packageFolder : "", gameFolder ? gameFolder : "", staged, run);
  const bool planned = planner.Make(&plan);
  bool installed = false;
  if (planned) {
    Installer installer(plan, run);
    installed = installer.Run();
  } else {
    run.Fail(messages::NothingChanged());
  }
  const bool havePaths = !plan.paths.stagingPrefix.empty();
  CleanStaging(havePaths ? &plan.paths : nullptr, staged, run);
  if (report) report->Append(run);
  return installed && run.Succeeded() ? 0 : 1;
}

}  // namespace engine
