#include "tests/windows/WindowDriver.h"

#include <cstdlib>

namespace ui_driver {

namespace {

constexpr DWORD kPollMs = 25;
// How long a message sent across processes may take before the driver gives up on it.
constexpr UINT kSendTimeoutMs = 5000;

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

struct EnumState {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM data) {
  auto* state = reinterpret_cast<EnumState*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == state->processId && IsWindowVisible(window)) state->windows.push_back(window);
  return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

std::string WindowText(HWND window) {
  const auto length = static_cast<int>(Ask(window, WM_GETTEXTLENGTH));
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const auto copied = static_cast<int>(
      Ask(window, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::string ControlText(HWND dialog, int id) { return WindowText(Control(dialog, id)); }

bool ControlEnabled(HWND dialog, int id) { return IsWindowEnabled(Control(dialog, id)) != FALSE; }

int DefaultButton(HWND dialog) {
  const auto result = static_cast<DWORD>(Ask(dialog, DM_GETDEFID));
  return HIWORD(result) == DC_HASDEFID ? LOWORD(result) : 0;
}

void Click(HWND dialog, int id) { PostMessageA(Control(dialog, id), BM_CLICK, 0, 0); }

void PressKey(HWND window, WORD virtualKey) {
  const UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  const auto down = static_cast<LPARAM>(1u | (scanCode << 16));
  const auto up = static_cast<LPARAM>(down | (1u << 30) | (1u << 31));
  PostMessageA(window, WM_KEYDOWN, virtualKey, down);
  PostMessageA(window, WM_KEYUP, virtualKey, up);
}

void PressCloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

void SetControlText(HWND dialog, int id, const std::string& text) {
  Ask(Control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void FocusControl(HWND dialog, int id) {
  Ask(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(dialog, id)), TRUE);
}

MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  view.caption = WindowText(box);
  view.text = ControlText(box, 0xFFFF);  // the static control that holds a message box's text
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::string type = ClassName(child);
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, type.c_str(), -1, "Static", -1) ==
            CSTR_EQUAL &&
        Ask(child, STM_GETICON) != 0) {
      view.hasIcon = true;
    }
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, type.c_str(), -1, "Button", -1) ==
        CSTR_EQUAL) {
      view.buttons.push_back(GetDlgCtrlID(child));
    }
  }
  return view;
}

std::string FirstLine(const std::string& text) {
  const std::size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

Program::Program(const std::string& exe, const std::string& folder, const std::string& arguments) {
  std::string commandLine = "\"" + exe + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process_)) {
    process_ = {};
  }
}

Program::~Program() {
  if (!Started()) return;
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, kTimeoutMs);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Program::Running() const {
  return Started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs) const {
  return Started() && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (Started()) GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

std::vector<HWND> Program::VisibleWindows() const {
  EnumState state{process_.dwProcessId, {}};
  if (Started()) EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&state));
  return state.windows;
}

HWND Program::FindDialog(const std::string& caption) const {
  for (HWND window : VisibleWindows()) {
    if (ClassName(window) == "#32770" && WindowText(window) == caption) return window;
  }
  return nullptr;
}

HWND Program::WaitForDialog(const std::string& caption, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindDialog(caption)) != nullptr || !Running(); }, timeoutMs);
  return found;
}

HWND Program::FocusedWindow() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!Started() || !GetGUIThreadInfo(process_.dwThreadId, &info)) return nullptr;
  return info.hwndFocus;
}

void Screenshot(const std::string& name, HWND window) {
  const char* folder = std::getenv("KYR_SCREENSHOT_DIR");
  const char* tool = std::getenv("KYR_SCREENSHOT_TOOL");
  if (!folder || !*folder || !tool || !*tool) return;
  Sleep(700);  // a window that has just appeared may still be placing and painting itself
  RECT area{};
  if (!GetWindowRect(window, &area)) return;
  const std::string picture = std::string(folder) + "/" + name + ".png";
  // The same file as Wine shows the machine's file system: drive Z: is its root.
  std::string pictureHere = "Z:" + picture;
  for (char& c : pictureHere) {
    if (c == '/') c = '\\';
  }
  DeleteFileA(pictureHere.c_str());
  // Wine starts programs of the machine it runs on like its own, but does not let us wait
  // for their end: the picture is complete once the file has appeared and stopped growing.
  std::string commandLine = std::string("\"") + tool + "\" -window root -crop " +
                            std::to_string(area.right - area.left) + "x" +
                            std::to_string(area.bottom - area.top) + "+" +
                            std::to_string(area.left) + "+" + std::to_string(area.top) +
                            " +repage \"" + picture + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const auto size = [&]() -> LONGLONG {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(pictureHere.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (LONGLONG{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  };
  LONGLONG last = -1;
  WaitUntil([&] {
    const LONGLONG now = size();
    const bool settled = now > 0 && now == last;
    last = now;
    if (!settled) Sleep(200);
    return settled;
  }, 10000);
}

}  // namespace ui_driver
