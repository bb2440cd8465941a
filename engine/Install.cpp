// The install script runner. It works in two phases:
//   plan: read the whole script and check it against the package, the game folder, the
//         backup folder and the earlier uninstall log, without changing anything;
//   act:  write the flag file and the log, then for each command log its pair (flushed to
//         disk), save the original and replace or patch the game file.
// A failure while acting puts back every game file, the log and the flag file as they were
// before the run. The staging folder is cleaned up whatever the outcome.
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

void AddFolder(std::vector<std::string>* folders, std::string_view folder) {
  if (folder.empty()) return;
  if (!FindSamePath(*folders, folder).found) folders->emplace_back(folder);
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

  bool CheckFolders() {
    if (gameFolder_.empty()) return Fail(messages::NoGameFolder());
    std::string tooLong;
    if (!MakePackagePaths(packageFolder_.c_str(), &plan_->paths, &tooLong)) {
      return Fail(messages::PathTooLong(tooLong));
    }
    const PackagePaths& paths = plan_->paths;
    if (!Join({gameFolder_}, &plan_->gameFolder) || !Join({gameFolder_, kFlagPiece}, &plan_->flagPath) ||
        !Join({paths.backupPrefix, UndoName("flag")}, &plan_->flagUndoPath) ||
        !Join({paths.backupPrefix, UndoName("log")}, &plan_->logUndoPath)) {
      return false;
    }
    host::DWORD error = 0;
    switch (Probe(gameFolder_, &error)) {
      case Found::kFolder: break;
      case Found::kAmbiguous: return Fail(messages::Ambiguous(gameFolder_), error);
      case Found::kError: return Fail(messages::CannotExamine(gameFolder_, error), error);
      default: return Fail(messages::FolderMissing(gameFolder_), error);
    }
    AddFolder(&plan_->touchedFolders, paths.backupFolder);
    return true;
  }

  bool ReadScript() {
    const Match listed = FindSamePath(staged_.files, plan_->paths.scriptPath);
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
    const Match match = FindSamePath(staged_.files, path);
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
  //  - listed by the earlier log: its listed state is its original; never saved again;
  //  - already changed by this run: nothing more to record;
  //  - otherwise: a new pair, and the original is saved when the file exists.
  bool PlanRecord(Step* step, const std::string& backupPath, bool exists) {
    const Match touched = FindSamePath(touched_, step->gamePath);
    if (touched.ambiguous) return Fail(messages::Ambiguous(step->gamePath));
    if (touched.found) return true;

    const Match earlier = FindSamePath(plan_->earlier.pairs, step->gamePath,
                                       [](const LogPair& pair) -> std::string_view {
                                         return pair.gameFilePath;
                                       });
    if (earlier.ambiguous) return Fail(messages::Ambiguous(step->gamePath));
    step->firstTouch = true;
    touched_.push_back(step->gamePath);
    if (earlier.found) {
      step->origin = exists ? Origin::kUndo : Origin::kAdded;
      if (exists) {
        return Join({plan_->paths.backupPrefix, UndoName(std::to_string(plan_->steps.size()))},
                    &step->undoPath);
      }
      return true;
    }

    // A saved copy is never overwritten: the backup path must be free and unclaimed.
    auto backupOf = [](const LogPair& pair) -> std::string_view { return pair.backupPath; };
    if (host::SamePath(backupPath, plan_->paths.logPath)) {
      return Fail(messages::BackupIsLog(backupPath));
    }
    for (const std::vector<LogPair>* pairs : {&plan_->earlier.pairs, &newPairs_}) {
      const Match claimed = FindSamePath(*pairs, backupPath, backupOf);
      if (claimed.found || claimed.ambiguous) {
        return Fail(messages::BackupTaken(backupPath, (*pairs)[claimed.index].gameFilePath));
      }
    }
    host::DWORD error = 0;
    const Found found = Probe(backupPath, &error);
    if (found == Found::kError) return Fail(messages::CannotExamine(backupPath, error), error);
    if (found != Found::kMissing) return Fail(messages::BackupOccupied(backupPath));

    step->logsPair = true;
    step->backupPath = backupPath;
    step->origin = exists ? Origin::kSaved : Origin::kAdded;
    newPairs_.push_back({backupPath, step->gamePath});
    AddFolder(&plan_->touchedFolders, host::ParentOf(backupPath));
    return true;
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
        !CheckStaged(command, step.source)) {
      return false;
    }
    const std::string folder(host::ParentOf(step.gamePath));
    host::DWORD error = 0;
    switch (Probe(folder, &error)) {
      case Found::kFolder: break;
      case Found::kAmbiguous: return Fail(messages::Ambiguous(folder), error);
      case Found::kError: return Fail(messages::CannotExamine(folder, error), error);
      default: return Fail(messages::FolderMissing(folder), error);
    }
    bool exists = false;
    if (FindSamePath(touched_, step.gamePath).found) {
      exists = true;
    } else if (!ExamineGameFile(step.gamePath, &exists)) {
      return false;
    }
    if (!PlanRecord(&step, backupPath, exists)) return false;
    AddFolder(&plan_->touchedFolders, folder);
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
        !CheckStaged(command, step.source)) {
      return false;
    }
    std::string problem;
    host::DWORD error = 0;
    if (!CheckBytePatch(step.source.c_str(), &problem, &error)) return Fail(problem, error);
    // The target must exist (an earlier command of this script may have put it there);
    // it is never created.
    if (!FindSamePath(touched_, step.gamePath).found) {
      bool exists = false;
      if (!ExamineGameFile(step.gamePath, &exists)) return false;
      if (!exists) return Fail(messages::TargetMissing(step.gamePath));
    }
    if (!PlanRecord(&step, backupPath, true)) return false;
    AddFolder(&plan_->touchedFolders, host::ParentOf(step.gamePath));
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
  std::vector<std::string> touched_;  // game files this run changes, in first-touch order
  std::vector<LogPair> newPairs_;
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
    for (const Step& step : plan_.steps) {
      if (!Carry(step)) return RollBack();
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
    const bool putBack = flagExisted_
                             ? host::CopyFileA(plan_.flagUndoPath.c_str(), plan_.flagPath.c_str(), 0)
                             : DeleteIfPresent(plan_.flagPath);
    if (putBack) flagTouched_ = false;
    return putBack;
  }

  // The log is rewritten durably with the new game folder line and every earlier pair,
  // then opened for appending this run's pairs one by one.
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

  bool Carry(const Step& step) {
    if (step.logsPair) {
      if (!AppendPair(log_, {step.backupPath, step.gamePath})) {
        const host::DWORD error = host::GetLastError();
        return Fail(messages::LogNotWritten(plan_.paths.logPath, error), error);
      }
      writtenPairs_.push_back({step.backupPath, step.gamePath});
    }
    if (step.firstTouch && !SetAside(step)) return false;
    if (step.command->kind == ScriptCommand::Kind::kCopyFile) {
      if (!host::CopyFileDurably(step.source.c_str(), step.gamePath.c_str())) {
        const host::DWORD error = host::GetLastError();
        return Fail(messages::NotReplaced(step.gamePath, error), error);
      }
      return true;
    }
    return ApplyBytePatch(step.source.c_str(), step.gamePath.c_str(), &report_) == 0;
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
        const bool logPutBack = plan_.earlierLogExists
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
  }
  const bool havePaths = !plan.paths.stagingPrefix.empty();
  CleanStaging(havePaths ? &plan.paths : nullptr, staged, run);
  if (report) report->Append(run);
  return installed && run.Succeeded() ? 0 : 1;
}

}  // namespace engine
