#include "engine/Messages.h"

namespace engine::messages {
namespace {

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string WithError(std::string text, host::DWORD error) {
  if (error != 0) {
    text += ": ";
    text += ErrorText(error);
  }
  return text;
}

std::string Command(int command, std::string_view word) {
  return "Install.cfg, command " + std::to_string(command) + " (" + std::string(word) + ")";
}

std::string Line(int line) { return "Uninstall.cfg, line " + std::to_string(line); }

}  // namespace

std::string ErrorText(host::DWORD error) {
  switch (error) {
    case host::kErrorFileNotFound: return "the file does not exist";
    case host::kErrorPathNotFound: return "its folder does not exist";
    case host::kErrorAccessDenied: return "access denied (read-only or protected)";
    case host::kErrorSharingViolation: return "the file is in use by another program";
    case host::kErrorDiskFull:
    case host::kErrorHandleDiskFull: return "the disk is full";
    case host::kErrorWriteFault: return "writing to the disk failed";
    case host::kErrorFileExists:
    case host::kErrorAlreadyExists: return "something of that name is already there";
    case host::kErrorInvalidName: return "the name is not valid";
    case host::kErrorDirNotEmpty: return "the folder is not empty";
    case host::kErrorFilenameExcedRange: return "the path is too long";
    case host::kErrorAmbiguousName: return "several names there differ only in case";
    case host::kErrorInjectedFault: return "the operation failed (simulated fault)";
    default: return "system error " + std::to_string(error);
  }
}

std::string NoPackageFolder() { return "No package folder was given."; }

std::string NoGameFolder() { return "No game folder was given."; }

std::string FolderMissing(std::string_view folder) {
  return "The folder " + Quote(folder) + " does not exist.";
}

std::string ThroughLink(std::string_view path) {
  return Quote(path) + " is a link to another place: nothing is written through it.";
}

std::string PathTooLong(std::string_view path) {
  return "The path " + Quote(path) + " would be longer than a path may be (259 characters).";
}

std::string ScriptMissing() {
  return "The package has no install script (Install.cfg): it is damaged.";
}

std::string ScriptUnreadable(std::string_view path, host::DWORD error) {
  return WithError("The install script " + Quote(path) + " could not be read", error) + ".";
}

std::string UnknownCommand(int command, std::string_view word) {
  return Command(command, word) + ": unknown command; it was skipped with its two names.";
}

std::string CommandCutShort(std::string_view word) {
  return "Install.cfg ends in the middle of a command (" + std::string(word) +
         "); it was skipped.";
}

std::string BadName(int command, std::string_view word, std::string_view name,
                    host::NameProblem problem) {
  return Command(command, word) + ": the name " + Quote(name) + " " +
         host::DescribeNameProblem(problem) + ".";
}

std::string TemporaryName(int command, std::string_view word, std::string_view name) {
  return Command(command, word) + ": the name " + Quote(name) + " ends in " +
         host::kTemporarySuffix + ", which is kept for temporary files.";
}

std::string NotInPackage(int command, std::string_view word, std::string_view path) {
  return Command(command, word) + ": " + Quote(path) + " is not part of the package.";
}

std::string AmbiguousInPackage(int command, std::string_view word, std::string_view path) {
  return Command(command, word) + ": the package holds several files named " + Quote(path) +
         ", differing only in case.";
}

std::string IsAFolder(std::string_view path) {
  return Quote(path) + " is a folder, not a file.";
}

std::string Ambiguous(std::string_view path) {
  return "Several files match " + Quote(path) + ", differing only in case.";
}

std::string ReadOnly(std::string_view path) {
  return Quote(path) + " is read-only, so it cannot be replaced.";
}

std::string CannotExamine(std::string_view path, host::DWORD error) {
  return WithError(Quote(path) + " could not be examined", error) + ".";
}

std::string TargetMissing(std::string_view path) {
  return "The file to patch, " + Quote(path) + ", does not exist.";
}

std::string BackupTaken(std::string_view backupPath, std::string_view otherGameFile) {
  return "The saved copy " + Quote(backupPath) + " is needed for " + Quote(otherGameFile) +
         "; saving another file there would lose it.";
}

std::string BackupOccupied(std::string_view backupPath) {
  return Quote(backupPath) +
         " is already in the backup folder, but no install recorded it; it is kept, so no "
         "file can be saved there.";
}

std::string BackupIsLog(std::string_view backupPath) {
  return "Saving a game file to " + Quote(backupPath) + " would overwrite the uninstall log.";
}

std::string EarlierLogUnusable(std::string_view problem) {
  return "The uninstall log of an earlier install cannot be used: " + std::string(problem);
}

std::string EarlierLogUnreadable(std::string_view path, host::DWORD error) {
  return WithError("The uninstall log " + Quote(path) + " of an earlier install could not be read",
                   error) +
         ".";
}

std::string PatchCannotOpen(std::string_view path, host::DWORD error) {
  return WithError("The byte patch " + Quote(path) + " could not be opened", error) + ".";
}

std::string PatchReadError(std::string_view path, host::DWORD error) {
  return WithError("The byte patch " + Quote(path) + " could not be read", error) + ".";
}

std::string PatchHeaderCutShort(std::string_view path) {
  return "The byte patch " + Quote(path) + " is cut short: it ends inside its header.";
}

std::string PatchCutShort(std::string_view path, std::uint32_t record, std::uint32_t count) {
  return "The byte patch " + Quote(path) + " is cut short: record " + std::to_string(record) +
         " of " + std::to_string(count) + " is incomplete.";
}

std::string PatchOffsetTooLarge(std::string_view path, std::uint32_t record,
                                std::uint32_t offset) {
  return "The byte patch " + Quote(path) + " is damaged: record " + std::to_string(record) +
         " writes at position " + std::to_string(offset) + ", beyond 2 GiB.";
}

std::string FlagNotWritten(std::string_view path, host::DWORD error) {
  return WithError("The flag file " + Quote(path) + " could not be written", error) + ".";
}

std::string LogNotWritten(std::string_view path, host::DWORD error) {
  return WithError("The uninstall log " + Quote(path) + " could not be written", error) + ".";
}

std::string NotSaved(std::string_view gameFile, std::string_view backupPath,
                     host::DWORD error) {
  return WithError(Quote(gameFile) + " could not be saved to " + Quote(backupPath), error) +
         ".";
}

std::string NotSetAside(std::string_view gameFile, host::DWORD error) {
  return WithError(Quote(gameFile) + " could not be copied aside before changing it", error) +
         ".";
}

std::string BackupFolderNotMade(std::string_view folder, host::DWORD error) {
  return WithError("The folder " + Quote(folder) + " could not be made", error) + ".";
}

std::string NotReplaced(std::string_view gameFile, host::DWORD error) {
  return WithError(Quote(gameFile) + " could not be replaced", error) + ".";
}

std::string NotPatched(std::string_view target, host::DWORD error) {
  return WithError(Quote(target) + " could not be patched", error) + ".";
}

std::string NothingChanged() {
  return "Nothing was installed: the game files are unchanged.";
}

std::string InstallUndone() {
  return "The install was undone: the game files are unchanged.";
}

std::string NotPutBack(std::string_view gameFile, host::DWORD error) {
  return WithError(Quote(gameFile) + " could not be put back as it was", error) +
         "; the uninstall log still lists it, so Uninstall can finish the job.";
}

std::string LogNotPutBack(std::string_view path, host::DWORD error) {
  return WithError("The uninstall log " + Quote(path) + " could not be put back as it was",
                   error) +
         ".";
}

std::string FlagNotPutBack(std::string_view path, host::DWORD error) {
  return WithError("The flag file " + Quote(path) + " could not be put back as it was", error) +
         ".";
}

std::string LeftInBackup(std::string_view path) {
  return Quote(path) + " could not be removed from the backup folder.";
}

std::string LeftInStaging(std::string_view path) {
  return Quote(path) + " could not be removed from the staging folder.";
}

std::string NoInstallToUndo() { return "There is no install to undo (no uninstall log)."; }

std::string LogUnreadable(std::string_view path, host::DWORD error) {
  return WithError("The uninstall log " + Quote(path) + " could not be read", error) + ".";
}

std::string LogLineTooLong(int line) {
  return Line(line) + ": the line is longer than 259 characters; the log is damaged.";
}

std::string LogFromWindows(int line) {
  return Line(line) +
         ": the path starts with a drive letter, so the log was written by the Windows "
         "program; run Uninstall there.";
}

std::string LogNotSavedCopy(int line, std::string_view text, std::string_view backupFolder) {
  return Line(line) + ": " + Quote(text) + " is not a saved copy in " + Quote(backupFolder) +
         "; the log is damaged.";
}

std::string LogNotMatching(int line, std::string_view text, std::string_view name) {
  return Line(line) + ": " + Quote(text) + " does not end in the name " + Quote(name) +
         " of its saved copy; the log is damaged.";
}

std::string NotRestoredThroughLink(std::string_view gameFile, std::string_view link) {
  return Quote(gameFile) + " was not restored: " + Quote(link) +
         " is a link to another place, and nothing is written through it; the saved copy is "
         "kept.";
}

std::string NotRestored(std::string_view gameFile, std::string_view backupPath,
                        host::DWORD error) {
  return WithError(Quote(gameFile) + " could not be restored from " + Quote(backupPath), error) +
         "; the saved copy is kept.";
}

std::string UninstallCanRunAgain() {
  return "The saved copies of the files not restored are kept: Uninstall can be run again "
         "once the problem is solved.";
}

std::string LogNotUpdated(std::string_view path, host::DWORD error) {
  return WithError("The uninstall log " + Quote(path) + " could not be updated", error) +
         "; all saved copies are kept.";
}

std::string SavedCopyNotDeleted(std::string_view path, host::DWORD error) {
  return WithError("The saved copy " + Quote(path) + " could not be deleted", error) + ".";
}

std::string FlagNotDeleted(std::string_view path, host::DWORD error) {
  return WithError("The flag file " + Quote(path) + " could not be deleted", error) + ".";
}

std::string BackupFolderKept(std::string_view folder) {
  return "The backup folder " + Quote(folder) +
         " still holds files that no install recorded; it was kept.";
}

}  // namespace engine::messages
