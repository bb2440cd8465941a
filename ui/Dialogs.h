// The Windows program's two dialogs. The dialogs only collect what the player chose and
// show what happened; what their commands do is shared with the GTK program
// (ui/DialogLogic.h), and the install and the uninstall themselves are the sequences'.
#pragma once

#include <windows.h>

#include "ui/DialogLogic.h"

// The module instance, set once by WinMain before "MAIN" is created; the icon and the
// "PATH" template are loaded from it.
extern HINSTANCE appInstance;

// "MAIN": Install opens "PATH"; Uninstall runs the uninstall and reports it; every other
// command (Esc, the close box) ends the dialog and with it the program.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// "PATH": proposes the game folder, lets the player type or browse for another, and runs
// the install on Continue. A failed install leaves it open; it always ends with result 0.
INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The folder browser's callback: opens the browser on the folder whose text `data` points to.
// Always returns 0.
int CALLBACK BrowseFolderCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);

namespace ui {

// `notice` in a message box owned by `owner`; returns when the player has answered it.
inline void ShowNotice(HWND owner, const Notice& notice) {
  MessageBoxA(owner, notice.text.c_str(), notice.Caption(),
              notice.error ? MB_OK | MB_ICONEXCLAMATION : MB_OK);
}

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
