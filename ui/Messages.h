// Every text the dialogs show or look up, in one place, for both programs (the Windows one
// and the GTK one). The texts that the install and the uninstall own ("Patch Installed!",
// the missing package, ...) are in sequences/Sequences.h.
#pragma once

#include <string>

#include "engine/Report.h"

namespace ui {

inline constexpr char kMainTemplate[] = "MAIN";
inline constexpr char kPathTemplate[] = "PATH";

inline constexpr char kSuccessCaption[] = "Success";
inline constexpr char kErrorCaption[] = "Error";
inline constexpr char kBrowseTitle[] = "Current folder is:";

// Where the game's own installer records its folder (in the 32-bit registry view).
inline constexpr char kGameRegistryKey[] =
    "SOFTWARE\\LucasArts Entertainment Company\\X-Wing vs. TIE Fighter\\2.0";
inline constexpr char kGameRegistryValue[] = "Install Path";

inline constexpr char kRunAsAdministratorText[] =
    "Windows denied access to a file. Run Kyr Ship Patch as administrator and try again.";
inline constexpr char kCheckPermissionsText[] =
    "Access to a file was denied. Make sure that your user may change the game folder and "
    "the package folder, and try again.";
// What follows a failure that came from a denied access, on this system.
#ifdef _WIN32
inline constexpr const char* kAccessDeniedAdvice = kRunAsAdministratorText;
#else
inline constexpr const char* kAccessDeniedAdvice = kCheckPermissionsText;
#endif

// Said when a failed run's report carries no description of its own.
inline constexpr char kBadGameFolderText[] =
    "The game folder must be an existing folder of at most 259 characters.";
inline constexpr char kDamagedPackageText[] =
    "The installation package is damaged. The game files are unchanged.";
inline constexpr char kUnknownFailureText[] = "The reason is unknown.";

// The text of a failure message: `whatWasNotDone` as the first line, then the report's
// failures (at most 15, the rest counted; `fallback` when it has none), then
// kAccessDeniedAdvice when a failure came from a denied access.
std::string FailureText(const char* whatWasNotDone, const engine::Report& report,
                        const char* fallback);

}  // namespace ui
