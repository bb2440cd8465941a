#include "ui/DialogLogic.h"

#include <cstring>

#include "sequences/Sequences.h"

char gameFolder[kGameFolderSize] = "C:\\";

namespace ui {

bool SetGameFolder(const std::string& text) {
  if (text.size() >= sizeof(gameFolder)) return false;
  std::memcpy(gameFolder, text.c_str(), text.size() + 1);
  return true;
}

bool UninstallEnabled() { return sequences::InstallRecorded(); }

ContinueResult Continue(const std::string& typedFolder) {
  const sequences::InstallResult result = sequences::Install(typedFolder.c_str());
  if (result.outcome != sequences::InstallOutcome::kPackageMissing) SetGameFolder(typedFolder);

  const auto failure = [&](const char* fallback) {
    return ContinueResult{false,
                          {true, FailureText(sequences::kNotInstalledText, result.report, fallback)}};
  };
  switch (result.outcome) {
    case sequences::InstallOutcome::kInstalled:
      return {true, {false, sequences::kInstalledText}};
    case sequences::InstallOutcome::kPackageMissing:
      return {false, {true, sequences::kMissingPackageText}};
    case sequences::InstallOutcome::kBadGameFolder:
      return failure(kBadGameFolderText);
    case sequences::InstallOutcome::kPackageDamaged:
      return failure(kDamagedPackageText);
    case sequences::InstallOutcome::kFailed:
      break;
  }
  return failure(kUnknownFailureText);
}

Notice Uninstall() {
  const sequences::UninstallResult result = sequences::Uninstall();
  if (result.succeeded) return {false, sequences::kUninstalledText};
  return {true, FailureText(sequences::kNotUninstalledText, result.report, kUnknownFailureText)};
}

}  // namespace ui
