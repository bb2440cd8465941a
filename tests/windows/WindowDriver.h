// Drives the Windows program from outside, the way a player does: starts it in a package
// folder, finds its dialogs and message boxes, presses buttons and keys, reads texts and
// states. Everything is posted or asked across the process boundary, so a modal dialog that
// a click opens never blocks the driver, and every wait has a deadline: a program that does
// not answer fails the test instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui_driver {

// Long enough for Wine to start a program and show its first window on a slow machine.
inline constexpr DWORD kTimeoutMs = 30000;

// Polls `condition` until it holds or `timeoutMs` pass; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
HWND Control(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
// The id the dialog's Enter key presses (DM_GETDEFID), or 0 when it has none.
int DefaultButton(HWND dialog);

// Presses a button as a mouse click does (posted BM_CLICK).
void Click(HWND dialog, int id);
// Posts a key press (down and up) to `window`, normally the control that has the focus,
// where the dialog manager's modal loop meets it as it would meet a typed key.
void PressKey(HWND window, WORD virtualKey);
// What the close box in the caption does.
void PressCloseBox(HWND window);
void SetControlText(HWND dialog, int id, const std::string& text);
// Gives the keyboard focus to a control, as tabbing to it does.
void FocusControl(HWND dialog, int id);

// A message box as the player sees it.
struct MessageBoxView {
  std::string caption;
  std::string text;
  bool hasIcon = false;
  std::vector<int> buttons;  // ids of the visible buttons
};
MessageBoxView ReadMessageBox(HWND box);

// The first line of a text.
std::string FirstLine(const std::string& text);

// A running KyrShipPatch.exe (or any GUI program); ended by the destructor if still running.
class Program {
 public:
  // Starts `exe` with the command line "exe arguments", current directory `folder`.
  // Check Started() before use.
  Program(const std::string& exe, const std::string& folder, const std::string& arguments = "");
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return process_.hProcess != nullptr; }
  bool Running() const;
  // Waits for the process to end; false when it still runs after `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs = kTimeoutMs) const;
  DWORD ExitCode() const;

  // A visible dialog-class window (class #32770, message boxes included) of this program
  // with `caption`, or nullptr.
  HWND FindDialog(const std::string& caption) const;
  // FindDialog until it finds one or the deadline passes.
  HWND WaitForDialog(const std::string& caption, DWORD timeoutMs = kTimeoutMs) const;
  // Every visible top-level window of this program.
  std::vector<HWND> VisibleWindows() const;
  // The window that has the keyboard focus in the program's user interface thread.
  HWND FocusedWindow() const;

 private:
  PROCESS_INFORMATION process_{};
};

// Saves a picture of `window` (and what lies on it, such as a message box) as
// <KYR_SCREENSHOT_DIR>/<name>.png with the X server's screenshot tool named by
// KYR_SCREENSHOT_TOOL. Does nothing when either variable is unset; never fails a test.
void Screenshot(const std::string& name, HWND window);

}  // namespace ui_driver
