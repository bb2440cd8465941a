// Every text of the engine that a player reads, in one place. Each function returns one
// line; paths are quoted, since they may hold spaces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Host.h"
#include "platform/Paths.h"

namespace engine::messages {

// The flag file's content: exactly these 30 characters, no line end.
inline constexpr char kFlagFileText[] = "This is a flag, do not delete.";

// A host error in a player's words ("access denied", "the disk is full").
std::string ErrorText(host::DWORD error);

// ---- Install: checking the package, the script and the game folder --------------------
std::string NoPackageFolder();
std::string NoGameFolder();
std::string FolderMissing(std::string_view folder);
std::string ThroughLink(std::string_view path);
std::string PathTooLong(std::string_view path);
std::string ScriptMissing();
std::string ScriptUnreadable(std::string_view path, host::DWORD error);
std::string UnknownCommand(int command, std::string_view word);
std::string CommandCutShort(std::string_view word);
std::string BadName(int command, std::string_view word, std::string_view name,
                    host::NameProblem problem);
std::string TemporaryName(int command, std::string_view word, std::string_view name);
std::string NotInPackage(int command, std::string_view word, std::string_view path);
std::string AmbiguousInPackage(int command, std::string_view word, std::string_view path);
std::string IsAFolder(std::string_view path);
std::string Ambiguous(std::string_view path);
std::string ReadOnly(std::string_view path);
std::string CannotExamine(std::string_view path, host::DWORD error);
std::string TargetMissing(std::string_view path);
std::string BackupTaken(std::string_view backupPath, std::string_view otherGameFile);
std::string BackupOccupied(std::string_view backupPath);
std::string BackupIsLog(std::string_view backupPath);
std::string EarlierLogUnusable(std::string_view problem);
std::string EarlierLogUnreadable(std::string_view path, host::DWORD error);

// ---- Byte patch files --------------------------------------------------------------
std::string PatchCannotOpen(std::string_view path, host::DWORD error);
std::string PatchReadError(std::string_view path, host::DWORD error);
std::string PatchHeaderCutShort(std::string_view path);
std::string PatchCutShort(std::string_view path, std::uint32_t record, std::uint32_t count);
std::string PatchOffsetTooLarge(std::string_view path, std::uint32_t record,
                                std::uint32_t offset);

// ---- Install: doing it, and putting things back -----------------------------------
std::string FlagNotWritten(std::string_view path, host::DWORD error);
std::string LogNotWritten(std::string_view path, host::DWORD error);
std::string NotSaved(std::string_view gameFile, std::string_view backupPath,
                     host::DWORD error);
std::string NotSetAside(std::string_view gameFile, host::DWORD error);
std::string BackupFolderNotMade(std::string_view folder, host::DWORD error);
std::string NotReplaced(std::string_view gameFile, host::DWORD error);
std::string NotPatched(std::string_view target, host::DWORD error);
std::string NothingChanged();
std::string InstallUndone();
std::string NotPutBack(std::string_view gameFile, host::DWORD error);
std::string LogNotPutBack(std::string_view path, host::DWORD error);
std::string FlagNotPutBack(std::string_view path, host::DWORD error);
std::string LeftInBackup(std::string_view path);
std::string LeftInStaging(std::string_view path);

// ---- Uninstall log and uninstall -----------------------------------------------------
std::string NoInstallToUndo();
std::string LogUnreadable(std::string_view path, host::DWORD error);
std::string LogLineTooLong(int line);
std::string LogFromWindows(int line);
std::string LogNotSavedCopy(int line, std::string_view text, std::string_view backupFolder);
std::string LogNotMatching(int line, std::string_view text, std::string_view name);
std::string NotRestoredThroughLink(std::string_view gameFile, std::string_view link);
std::string NotRestored(std::string_view gameFile, std::string_view backupPath,
                        host::DWORD error);
std::string UninstallCanRunAgain();
std::string LogNotUpdated(std::string_view path, host::DWORD error);
std::string SavedCopyNotDeleted(std::string_view path, host::DWORD error);
std::string FlagNotDeleted(std::string_view path, host::DWORD error);
std::string BackupFolderKept(std::string_view folder);

}  // namespace engine::messages
