// Every text the dialogs show or look up, in one place. The texts that the install and the
// uninstall own ("Patch Installed!", the missing package, ...) are in sequences/Sequences.h.
#pragma once

#include <windows.h>

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

// Said when a failed run's report carries no description of its own.
inline constexpr char kBadGameFolderText[] =
    "The game folder must be an existing folder of at most 259 characters.";
inline constexpr char kDamagedPackageText[] =
    "The installation package is damaged. The game files are unchanged.";
inline constexpr char kUnknownFailureText[] = "The reason is unknown.";

// A failure as one message box: caption "Error", the exclamation icon, `whatWasNotDone` as
// the first line, then the report's failures (or `fallback` when it has none), and a
// request to run as administrator when a failure came from a denied access.
void ShowFailure(HWND owner, const char* whatWasNotDone, const engine::Report& report,
                 const char* fallback);

// The arrow becomes the hourglass while an object of this class lives: an install or an
// uninstall runs on the dialogs' thread, which repaints nothing meanwhile.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace ui
