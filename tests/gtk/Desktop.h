// A desktop of the test's own for driving kyr-ship-patch as a player does: an X server
// without a screen (Xvfb) and a session bus (over which the program's accessibility
// interface is read, see Accessible.h), started for each test process and ended with it.
// Keys are typed with xdotool into the window that has the focus, as on a real keyboard.
// Every wait has a deadline: a program that does not answer fails the test, never hangs it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace gtk_driver {

// Long enough for a program to start and show its first window on a busy machine.
inline constexpr int kTimeoutMs = 20000;

// Polls `condition` until it holds or `timeoutMs` pass; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kTimeoutMs);

// The X display (":N") of this test process's desktop; empty when the desktop did not start.
// A global GoogleTest environment starts it before the first test and ends it after the last.
const std::string& Display();

// A running program on the desktop; ended by the destructor if it still runs.
class Program {
 public:
  // Starts `path` with `arguments` in the folder `folder`, with an environment made of the
  // desktop's variables, PATH, and `environment` ("NAME=value"; later entries win).
  Program(const std::string& path, const std::string& folder,
          const std::vector<std::string>& environment,
          const std::vector<std::string>& arguments = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  // Waits for the end; false when it still runs after `timeoutMs`.
  bool WaitForExit(int timeoutMs = kTimeoutMs);
  // The exit code, or -1 when it has not ended or ended by a signal.
  int ExitCode() const { return exitCode_; }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int exitCode_ = -1;
};

// The X window of the visible top-level window titled `caption`, or 0.
unsigned long FindWindow(const std::string& caption);
// FindWindow until it finds one or the deadline passes.
unsigned long WaitForWindow(const std::string& caption, int timeoutMs = kTimeoutMs);
// Gives `window` the keyboard focus, as a window manager does when a window appears or is
// clicked. This desktop has no window manager.
bool Focus(unsigned long window);
// Presses keys by their X names ("Tab", "Return", "shift+Tab", "ctrl+a"), in order.
bool PressKeys(const std::vector<std::string>& keys);
// Types `text` into the window that has the focus.
bool Type(const std::string& text);
// What the close box in a window's frame does: asks the window to close
// (WM_DELETE_WINDOW).
bool PressCloseBox(unsigned long window);

// Saves a picture of `window` as <KYR_SCREENSHOT_DIR>/<name>.png when the build gave a
// screenshot folder and tool. Never fails a test.
void Screenshot(const std::string& name, unsigned long window);

}  // namespace gtk_driver
