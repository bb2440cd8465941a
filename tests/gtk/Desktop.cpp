#include "tests/gtk/Desktop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

// Last: its macros (None, Status, True, ...) would clash with the names of other headers.
#include <X11/Xlib.h>

// KYR_XVFB, KYR_XDOTOOL, KYR_DBUS_DAEMON and the screenshot settings are the tools as the
// build found them (tests/gtk/CMakeLists.txt).

extern char** environ;

namespace gtk_driver {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr int kToolTimeoutMs = 10000;

std::string display;
std::string sessionBus;

// Starts `argv` with `environment` in `folder` (unless empty). Its standard input goes to
// /dev/null, its standard output to `stdoutFd` or /dev/null, its standard error stays the
// test's unless `quiet` (then /dev/null), and `keepFd` stays open in it. It is ended when
// this process ends.
pid_t Spawn(const std::vector<std::string>& argv, char** environment, const std::string& folder,
            int keepFd, bool quiet, int stdoutFd = -1) {
  // Everything the child needs is made before the fork: after it, only system calls.
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  const int null = open("/dev/null", O_RDWR);
  dup2(null, STDIN_FILENO);
  dup2(stdoutFd >= 0 ? stdoutFd : null, STDOUT_FILENO);
  if (quiet) dup2(null, STDERR_FILENO);
  if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
  execve(args[0], args.data(), environment);
  _exit(127);
}

// Reads one line from `fd` (written by a starting server), waiting at most `timeoutMs`.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return line;
}

// Waits for `pid` to end, at most `timeoutMs`; its wait status, or -1 when it still runs.
int Reap(pid_t pid, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 || Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(kPoll);
  }
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (Reap(pid, 3000) == -1) {
    kill(pid, SIGKILL);
    Reap(pid, 3000);
  }
}

// Runs a tool to its end (at most kToolTimeoutMs) and returns what it printed, or nothing
// when it failed.
bool RunTool(const std::vector<std::string>& argv, std::string* output = nullptr) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  const pid_t pid = Spawn(argv, environ, "", -1, false, out[1]);
  close(out[1]);
  std::string printed;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kToolTimeoutMs);
  for (;;) {
    pollfd ready{out[0], POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    if (poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[256];
    const ssize_t got = read(out[0], buffer, sizeof(buffer));
    if (got <= 0) break;
    printed.append(buffer, static_cast<std::size_t>(got));
  }
  close(out[0]);
  const int status = Reap(pid, 1000);
  if (status == -1) {
    End(pid);
    return false;
  }
  if (output != nullptr) *output = printed;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Whether a program can connect to the X server of the desktop now.
bool ServerAnswers() {
  ::Display* x = XOpenDisplay(display.c_str());
  if (x == nullptr) return false;
  XCloseDisplay(x);
  return true;
}

// The X server and the session bus of this test process.
class DesktopEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::filesystem::path runtime =
        std::filesystem::temp_directory_path() / ("kyr-gtk-tests-" + std::to_string(getpid()));
    std::filesystem::create_directories(runtime);
    runtime_ = runtime.string();
    setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);

    // Xvfb picks a free display and writes its number to the descriptor it is given. Without
    // -noreset it would reset whenever its last client leaves (a tool run by the test), and
    // refuse the program that connects at that moment.
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    xvfb_ = Spawn({KYR_XVFB, "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                   "1024x768x24", "-nolisten", "tcp", "-noreset"},
                  environ, "", pipeFds[1], true);
    close(pipeFds[1]);
    const std::string number = ReadLine(pipeFds[0], kTimeoutMs);
    close(pipeFds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_TRUE(WaitUntil(ServerAnswers)) << "Xvfb does not answer on " << display;

    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    bus_ = Spawn({KYR_DBUS_DAEMON, "--session", "--nofork",
                  "--print-address=" + std::to_string(pipeFds[1])},
                 environ, "", pipeFds[1], true);
    close(pipeFds[1]);
    sessionBus = ReadLine(pipeFds[0], kTimeoutMs);
    close(pipeFds[0]);
    ASSERT_FALSE(sessionBus.empty()) << "the session bus did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", sessionBus.c_str(), 1);
  }

  void TearDown() override {
    // The accessibility bus and its registry, which the session bus started for the
    // program, end when the session bus goes.
    End(bus_);
    End(xvfb_);
    std::error_code ignored;
    std::filesystem::remove_all(runtime_, ignored);
  }

 private:
  pid_t xvfb_ = -1;
  pid_t bus_ = -1;
  std::string runtime_;
};

[[maybe_unused]] ::testing::Environment* const kDesktop =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

const std::string& Display() { return display; }

// ---- programs -------------------------------------------------------------------------

Program::Program(const std::string& path, const std::string& folder,
                 const std::vector<std::string>& environment,
                 const std::vector<std::string>& arguments) {
  std::vector<std::string> variables = {
      "DISPLAY=" + display,
      "DBUS_SESSION_BUS_ADDRESS=" + sessionBus,
      "GDK_BACKEND=x11",
      // No settings daemon on this desktop: GTK keeps its settings in memory.
      "GSETTINGS_BACKEND=memory",
      "LANG=C.UTF-8",
  };
  for (const char* name : {"PATH", "XDG_RUNTIME_DIR"}) {
    if (const char* value = std::getenv(name)) variables.push_back(std::string(name) + "=" + value);
  }
  variables.insert(variables.end(), environment.begin(), environment.end());
  // The last setting of a name wins.
  std::vector<std::string> unique;
  for (auto it = variables.rbegin(); it != variables.rend(); ++it) {
    const std::string name = it->substr(0, it->find('='));
    bool seen = false;
    for (const std::string& kept : unique) seen = seen || kept.substr(0, kept.find('=')) == name;
    if (!seen) unique.push_back(*it);
  }
  std::vector<char*> envp;
  for (std::string& variable : unique) envp.push_back(variable.data());
  envp.push_back(nullptr);

  std::vector<std::string> argv = {path};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  // Its standard error stays the test's: GTK's warnings land in the test's output.
  pid_ = Spawn(argv, envp.data(), folder, -1, false, STDERR_FILENO);
}

Program::~Program() {
  if (!ended_) End(pid_);
}

bool Program::Running() { return !WaitForExit(0); }

bool Program::WaitForExit(int timeoutMs) {
  if (ended_) return true;
  const int status = Reap(pid_, timeoutMs);
  if (status == -1) return false;
  ended_ = true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

// ---- windows and keys -----------------------------------------------------------------

unsigned long FindWindow(const std::string& caption) {
  std::string found;
  if (!RunTool({KYR_XDOTOOL, "search", "--onlyvisible", "--name", "^" + caption + "$"}, &found)) {
    return 0;
  }
  return std::strtoul(found.c_str(), nullptr, 10);
}

unsigned long WaitForWindow(const std::string& caption, int timeoutMs) {
  unsigned long window = 0;
  WaitUntil([&] { return (window = FindWindow(caption)) != 0; }, timeoutMs);
  return window;
}

bool Focus(unsigned long window) {
  return RunTool({KYR_XDOTOOL, "windowfocus", "--sync", std::to_string(window)});
}

bool PressKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> argv = {KYR_XDOTOOL, "key", "--delay", "30"};
  argv.insert(argv.end(), keys.begin(), keys.end());
  return RunTool(argv);
}

bool Type(const std::string& text) {
  return RunTool({KYR_XDOTOOL, "type", "--delay", "5", "--", text});
}

bool PressCloseBox(unsigned long window) {
  ::Display* x = XOpenDisplay(display.c_str());
  if (x == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(x, window, False, NoEventMask, &event) != 0;
  XCloseDisplay(x);
  return sent;
}

void Screenshot(const std::string& name, unsigned long window) {
  const std::string folder = KYR_SCREENSHOT_DIR;
  const std::string tool = KYR_SCREENSHOT_TOOL;
  if (folder.empty() || tool.empty() || window == 0) return;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  // A window that has just appeared may still be drawing itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RunTool({tool, "-window", std::to_string(window), folder + "/" + name + ".png"});
}

}  // namespace gtk_driver
