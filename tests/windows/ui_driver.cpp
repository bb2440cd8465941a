// End-to-end tests of KyrShipPatch.exe: the program runs as a player runs it, in a package
// folder of its own, and the driver presses its buttons and keys and reads its dialogs and
// message boxes. Each test has a fresh package folder and game folder, and the game's
// registry entry is removed before and after it.
//
// The ids, captions and texts are written out here, not taken from the program's headers:
// the tests hold the program to the values a player and the game's files rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"
#include "tests/windows/WindowDriver.h"

namespace {

// Names parameterised cases by the `name` of their parameter.
struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& tested) const {
    return tested.param.name;
  }
};

// Failure messages show a case by its name.
template <class Case>
auto operator<<(std::ostream& out, const Case& tested) -> decltype(tested.name, out) {
  return out << tested.name;
}

namespace ts = testing_support;
using ui_driver::Program;

constexpr char kMainCaption[] = "Kyr Ship Patch";
constexpr char kPathCaption[] = "Select Velmont Folder";
constexpr int kInstall = 1001;
constexpr int kUninstall = 1002;
constexpr int kGameFolderEdit = 1003;
constexpr int kBrowse = 1004;
constexpr int kCancel = 1005;
constexpr int kContinue = 1006;

constexpr char kMissingPackageText[] = "Can't find installion package!  Aborting install!";
constexpr char kNotInstalled[] = "Patch not installed.";
constexpr char kNotUninstalled[] = "Patch not fully uninstalled.";
constexpr char kFlagText[] = "This is a flag, do not delete.";

constexpr char kGameKey[] =
    "SOFTWARE\\LucasArts Entertainment Company\\X-Wing vs. TIE Fighter\\2.0";

std::string WindowsPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// KyrShipPatch.exe is built next to this driver.
std::string ProgramPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + "KyrShipPatch.exe";
}

// ---- the game's registry entry -------------------------------------------------------

void ClearGameRegistry() {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) ==
        ERROR_SUCCESS) {
      RegDeleteTreeA(software, "LucasArts Entertainment Company");
      RegCloseKey(software);
    }
  }
}

void SetGameRegistryValue(REGSAM view, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_SET_VALUE | view,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
  const auto size = static_cast<DWORD>(data.size() + (text ? 1 : 0));
  EXPECT_EQ(RegSetValueExA(key, "Install Path", 0, type,
                           reinterpret_cast<const BYTE*>(data.c_str()), size),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::string Expanded(const std::string& text) {
  char expanded[MAX_PATH] = {};
  ExpandEnvironmentStringsA(text.c_str(), expanded, MAX_PATH);
  return expanded;
}

// ---- a game folder and a package ------------------------------------------------------

const ts::Bytes kShip1Original = ts::ToBytes("ship one as the game shipped it\r\n\x1a tail");
const ts::Bytes kShip1Patched = ts::ToBytes("ship one, patched");
const ts::Bytes kShip2Original = ts::ToBytes("ship two\r\n");
const ts::Bytes kShip2Patched = ts::ToBytes("ship two, patched, longer than before");
const ts::Bytes kExeOriginal = ts::ToBytes("MZ..the game's own program, as it was installed");

// A byte patch that writes "KYR" at offset 4: 13 header bytes, a record count, one record.
ts::Bytes ExePatch() {
  ts::Bytes patch = ts::ToBytes("BYTE PATCH 1.");
  const std::uint8_t countAndRecord[] = {1, 0, 4, 0, 0, 0, 3, 'K', 'Y', 'R'};
  patch.insert(patch.end(), std::begin(countAndRecord), std::end(countAndRecord));
  return patch;
}

enum class PackageKind {
  kNone,                // no Kyr.jxf at all
  kGood,                // replaces two ship files and patches the game's program
  kNotAnArchive,        // a Kyr.jxf that is no ZIP archive
  kNamesMissingFolder,  // a good archive whose script names a game folder that is not there
};

class KyrShipPatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearGameRegistry();
    ts::MakeFolders(package_);
    ts::WriteFile(game_ + "/Data/ship1.dat", kShip1Original);
    ts::WriteFile(game_ + "/Data/ship2.dat", kShip2Original);
    ts::WriteFile(game_ + "/XvT.exe", kExeOriginal);
    ts::MakeFolders(game_ + "/JXPatch");
  }
  void TearDown() override { ClearGameRegistry(); }

  void WritePackage(PackageKind kind) {
    const std::string path = package_ + "/Kyr.jxf";
    switch (kind) {
      case PackageKind::kNone:
        return;
      case PackageKind::kNotAnArchive:
        ts::WriteFile(path, "PK\x03\x04 but nothing of a ZIP archive follows");
        return;
      case PackageKind::kGood:
        ts::ZipBuilder(path)
            .AddFile("Install.cfg",
                     "copyfile ship1.dat \\Data\r\ncopyfile ship2.dat \\Data\r\n"
                     "patchfile exe.pat XvT.exe\r\n")
            .AddFile("ship1.dat", kShip1Patched)
            .AddFile("ship2.dat", kShip2Patched)
            .AddFile("exe.pat", ExePatch())
            .Finish();
        return;
      case PackageKind::kNamesMissingFolder:
        ts::ZipBuilder(path)
            .AddFile("Install.cfg", "copyfile ship1.dat \\Data\r\ncopyfile ship2.dat \\Missing\r\n")
            .AddFile("ship1.dat", kShip1Patched)
            .AddFile("ship2.dat", kShip2Patched)
            .Finish();
        return;
    }
  }

  std::unique_ptr<Program> Start(const std::string& arguments = "") {
    auto program = std::make_unique<Program>(ProgramPath(), WindowsPath(package_), arguments);
    EXPECT_TRUE(program->Started()) << "cannot start " << ProgramPath();
    return program;
  }

  HWND WaitForMain(const Program& program) {
    HWND main = program.WaitForDialog(kMainCaption);
    EXPECT_NE(main, nullptr) << "the main dialog did not appear";
    return main;
  }

  HWND OpenFolderDialog(const Program& program, HWND main) {
    ui_driver::Click(main, kInstall);
    HWND path = program.WaitForDialog(kPathCaption);
    EXPECT_NE(path, nullptr) << "Install did not open the game folder dialog";
    return path;
  }

  // Waits for the message box with `caption`, reads it, answers OK and waits until it is gone.
  ui_driver::MessageBoxView AnswerMessageBox(const Program& program, const std::string& caption,
                                             const std::string& screenshot = "") {
    HWND box = program.WaitForDialog(caption);
    if (box == nullptr) {
      ADD_FAILURE() << "no message box \"" << caption << "\"";
      return {};
    }
    if (!screenshot.empty()) ui_driver::Screenshot(screenshot, box);
    const ui_driver::MessageBoxView view = ui_driver::ReadMessageBox(box);
    ui_driver::Click(box, IDOK);
    EXPECT_TRUE(ui_driver::WaitUntil([&] { return !IsWindow(box); }))
        << "the message box did not close";
    return view;
  }

  // Esc on the main dialog must end the program with exit code 0.
  void EndWithEsc(const Program& program) {
    HWND main = program.FindDialog(kMainCaption);
    HWND focus = nullptr;
    EXPECT_TRUE(ui_driver::WaitUntil([&] {
      focus = program.FocusedWindow();
      return focus != nullptr && (focus == main || IsChild(main, focus));
    })) << "the main dialog has no keyboard focus; focus: " << focus << " "
        << (focus ? ui_driver::ClassName(focus) + " " + ui_driver::WindowText(focus) : "");
    ui_driver::PressKey(focus, VK_ESCAPE);
    ASSERT_TRUE(program.WaitForExit()) << "Esc did not end the program";
    EXPECT_EQ(program.ExitCode(), 0u);
  }

  std::string LogPath() const { return package_ + "/QUARN Backup/Uninstall.cfg"; }

  ts::TempDir temp_;
  const std::string package_ = temp_ / "Kyr package";
  const std::string game_ = temp_ / "XvT Game";
};

// ---- the main dialog ------------------------------------------------------------------

struct StartCase {
  const char* name;
  bool logFolder;
  bool log;  // an empty uninstall log: it exists, so an install is recorded
  bool uninstallEnabled;
};

class MainDialogStart : public KyrShipPatchTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(MainDialogStart, UninstallIsEnabledExactlyWhenTheLogExists) {
  if (GetParam().logFolder) ts::MakeFolders(package_ + "/QUARN Backup");
  if (GetParam().log) ts::WriteFile(LogPath(), "");
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  if (!GetParam().log) ui_driver::Screenshot("main-first-start", main);

  EXPECT_EQ(ui_driver::ControlEnabled(main, kUninstall), GetParam().uninstallEnabled);
  EXPECT_TRUE(ui_driver::ControlEnabled(main, kInstall));
  EXPECT_EQ(program->FocusedWindow(), ui_driver::Control(main, kInstall)) << "Install has the focus";
  EXPECT_EQ(ui_driver::DefaultButton(main), kInstall) << "Enter presses Install";
  EndWithEsc(*program);
}

INSTANTIATE_TEST_SUITE_P(
    Ui, MainDialogStart,
    ::testing::Values(StartCase{"NoLog", false, false, false},
                      StartCase{"BackupFolderWithoutLog", true, false, false},
                      StartCase{"EmptyLog", true, true, true}),
    CaseName());

struct EndCase {
  const char* name;
  void (*end)(const Program&, HWND main);
};

class MainDialogEnd : public KyrShipPatchTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(MainDialogEnd, EndsTheProgramWithExitCodeZero) {
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  GetParam().end(*program, main);
  ASSERT_TRUE(program->WaitForExit()) << "the program still runs";
  EXPECT_EQ(program->ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Ui, MainDialogEnd,
    ::testing::Values(
        EndCase{"Esc", [](const Program& p, HWND) { ui_driver::PressKey(p.FocusedWindow(), VK_ESCAPE); }},
        EndCase{"CloseBox", [](const Program&, HWND main) { ui_driver::PressCloseBox(main); }}),
    CaseName());

TEST_F(KyrShipPatchTest, CommandLineArgumentsChangeNothing) {
  ts::WriteFile(LogPath(), "");
  auto program = Start("/uninstall /S --install \"C:\\Some Game\"");
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  Sleep(1000);  // anything the arguments started would show by now
  EXPECT_EQ(program->VisibleWindows(), std::vector<HWND>{main});
  EXPECT_TRUE(ui_driver::ControlEnabled(main, kUninstall));
  EXPECT_EQ(program->FocusedWindow(), ui_driver::Control(main, kInstall));
  EndWithEsc(*program);
  EXPECT_TRUE(ts::Exists(LogPath())) << "no uninstall ran";
}

// The dialogs as the program shows them: window styles, and the controls in tab order.
TEST_F(KyrShipPatchTest, ShownDialogsHaveTheirControlsInTabOrder) {
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  const auto childIds = [](HWND dialog) {
    std::vector<int> ids;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      ids.push_back(static_cast<short>(GetDlgCtrlID(c)));
    }
    return ids;
  };
  EXPECT_EQ(childIds(main), (std::vector<int>{kInstall, kUninstall, -1}));
  EXPECT_EQ(ui_driver::ControlText(main, kInstall), "Install");
  EXPECT_EQ(ui_driver::ControlText(main, kUninstall), "Uninstall");
  const LONG mainStyle = GetWindowLongA(main, GWL_STYLE);
  EXPECT_TRUE(mainStyle & WS_MINIMIZEBOX);
  EXPECT_FALSE(mainStyle & WS_MAXIMIZEBOX);
  EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  HWND path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(childIds(path), (std::vector<int>{kBrowse, kCancel, kGameFolderEdit, kContinue}));
  EXPECT_EQ(ui_driver::ControlText(path, kBrowse), "...");
  EXPECT_EQ(ui_driver::ControlText(path, kCancel), "Cancel");
  EXPECT_EQ(ui_driver::ControlText(path, kContinue), "Continue");
  EXPECT_TRUE(GetWindowLongA(path, GWL_STYLE) & WS_MAXIMIZEBOX);
  EXPECT_TRUE(GetWindowLongA(path, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindow(path, GW_OWNER), main);
  EXPECT_FALSE(IsWindowEnabled(main)) << "the main dialog waits while the folder dialog is open";
}

// ---- the game folder dialog -----------------------------------------------------------

struct RegistryCase {
  const char* name;
  REGSAM view;  // 0: no entry at all
  DWORD type;
  std::string data;
  std::string shown;  // what the edit box shows; "" means the value itself, expanded
};

class FolderDialogRegistry : public KyrShipPatchTest,
                             public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(FolderDialogRegistry, ProposesTheGameFolderFromThe32BitRegistryView) {
  const RegistryCase& c = GetParam();
  if (c.view != 0) SetGameRegistryValue(c.view, c.type, c.data);
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  HWND path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);

  const std::string expected = c.shown.empty() ? Expanded(c.data) : c.shown;
  EXPECT_EQ(ui_driver::ControlText(path, kGameFolderEdit), expected);
  EXPECT_EQ(program->FocusedWindow(), ui_driver::Control(path, kBrowse)) << "\"...\" has the focus";
  EXPECT_EQ(ui_driver::DefaultButton(path), kBrowse) << "Enter opens the folder browser";
  if (std::string(c.name) == "Value") ui_driver::Screenshot("path-dialog", path);
}

INSTANTIATE_TEST_SUITE_P(
    Ui, FolderDialogRegistry,
    ::testing::Values(
        RegistryCase{"NoEntry", 0, REG_NONE, "", "C:\\"},
        RegistryCase{"Value", KEY_WOW64_32KEY, REG_SZ, "C:\\Games\\X-Wing vs. TIE Fighter", ""},
        RegistryCase{"ExpandableValue", KEY_WOW64_32KEY, REG_EXPAND_SZ, "%SystemRoot%\\XvT", ""},
        RegistryCase{"ValueOf259Characters", KEY_WOW64_32KEY, REG_SZ,
                     "D:\\" + std::string(256, 'x'), ""},
        // The game's 32-bit installer never writes the 64-bit view.
        RegistryCase{"ValueIn64BitViewOnly", KEY_WOW64_64KEY, REG_SZ, "D:\\Elsewhere", "C:\\"},
        RegistryCase{"ValueThatIsNoText", KEY_WOW64_32KEY, REG_DWORD, std::string(4, '\x01'),
                     "C:\\"},
        RegistryCase{"ValueTooLongForAPath", KEY_WOW64_32KEY, REG_SZ,
                     "D:\\" + std::string(297, 'x'), "C:\\"}),
    CaseName());

struct CloseCase {
  const char* name;
  void (*close)(const Program&, HWND path);
};

class FolderDialogClose : public KyrShipPatchTest,
                          public ::testing::WithParamInterface<CloseCase> {};

TEST_P(FolderDialogClose, ClosingChangesNothingAndUninstallStaysGreyed) {
  WritePackage(PackageKind::kGood);
  const auto packageBefore = ts::Snapshot(package_);
  const auto gameBefore = ts::Snapshot(game_);
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  ui_driver::PressKey(program->FocusedWindow(), VK_RETURN);  // Enter presses Install
  HWND path = program->WaitForDialog(kPathCaption);
  ASSERT_NE(path, nullptr) << "Enter did not press Install";
  ui_driver::SetControlText(path, kGameFolderEdit, WindowsPath(game_));

  GetParam().close(*program, path);
  EXPECT_TRUE(ui_driver::WaitUntil([&] { return !IsWindowVisible(path); }))
      << "the game folder dialog is still open";
  EXPECT_TRUE(ui_driver::WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
  EXPECT_TRUE(program->Running());
  EXPECT_FALSE(ui_driver::ControlEnabled(main, kUninstall)) << "no install was recorded";
  EXPECT_EQ(ts::Snapshot(package_), packageBefore);
  EXPECT_FALSE(ts::Exists(package_ + "/QUARN Backup"));
  EXPECT_FALSE(ts::Exists(package_ + "/Temp"));
  EXPECT_EQ(ts::Snapshot(game_), gameBefore);
  EndWithEsc(*program);
}

INSTANTIATE_TEST_SUITE_P(
    Ui, FolderDialogClose,
    ::testing::Values(
        CloseCase{"Cancel", [](const Program&, HWND path) { ui_driver::Click(path, kCancel); }},
        CloseCase{"Esc",
                  [](const Program& p, HWND) { ui_driver::PressKey(p.FocusedWindow(), VK_ESCAPE); }},
        CloseCase{"CloseBox", [](const Program&, HWND path) { ui_driver::PressCloseBox(path); }}),
    CaseName());

TEST_F(KyrShipPatchTest, EnterInTheEditBoxOpensTheFolderBrowser) {
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  HWND path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);
  ui_driver::SetControlText(path, kGameFolderEdit, "typed but not used");
  ui_driver::FocusControl(path, kGameFolderEdit);
  ui_driver::PressKey(ui_driver::Control(path, kGameFolderEdit), VK_RETURN);

  HWND browser = nullptr;
  ASSERT_TRUE(ui_driver::WaitUntil([&] {
    for (HWND w : program->VisibleWindows()) {
      if (w != path && GetWindow(w, GW_OWNER) == path) browser = w;
    }
    return browser != nullptr;
  })) << "no folder browser opened";
  ui_driver::Screenshot("folder-browser", browser);
  PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(ui_driver::WaitUntil([&] { return !IsWindow(browser); }));
  EXPECT_EQ(program->FindDialog(kPathCaption), path) << "the game folder dialog stays open";
  EXPECT_EQ(ui_driver::ControlText(path, kGameFolderEdit), "typed but not used")
      << "a cancelled browser leaves the edit box as it was";
}

// ---- install and uninstall ------------------------------------------------------------

struct InstallCase {
  const char* name;
  bool flagFolder;  // without "JXPatch" the flag file cannot be written: a warning only
};

class InstallAndUninstall : public KyrShipPatchTest,
                            public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallAndUninstall, InstallsThenUninstallRestoresEveryByte) {
  const bool screenshots = GetParam().flagFolder;
  if (!GetParam().flagFolder) RemoveDirectoryA(WindowsPath(game_ + "/JXPatch").c_str());
  WritePackage(PackageKind::kGood);
  const auto packageBefore = ts::Snapshot(package_);
  const auto gameBefore = ts::Snapshot(game_);

  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  HWND path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(ui_driver::ControlText(path, kGameFolderEdit), "C:\\");
  ui_driver::SetControlText(path, kGameFolderEdit, WindowsPath(game_));
  ui_driver::Click(path, kContinue);

  HWND box = program->WaitForDialog("Success");
  ASSERT_NE(box, nullptr) << "no success message";
  EXPECT_EQ(program->FindDialog(kPathCaption), nullptr) << "the game folder dialog has ended";
  EXPECT_FALSE(IsWindowEnabled(main)) << "the main dialog waits for the message";
  const auto installed = AnswerMessageBox(*program, "Success", screenshots ? "installed-message" : "");
  EXPECT_EQ(installed.text, "Patch Installed!");
  EXPECT_FALSE(installed.hasIcon);
  EXPECT_EQ(installed.buttons, std::vector<int>{IDOK});
  EXPECT_TRUE(ui_driver::WaitUntil([&] { return ui_driver::ControlEnabled(main, kUninstall); }))
      << "Uninstall is enabled after an install";
  if (screenshots) ui_driver::Screenshot("main-installed", main);

  EXPECT_EQ(ts::ReadFile(game_ + "/Data/ship1.dat"), kShip1Patched);
  EXPECT_EQ(ts::ReadFile(game_ + "/Data/ship2.dat"), kShip2Patched);
  ts::Bytes patchedExe = kExeOriginal;
  patchedExe[4] = 'K';
  patchedExe[5] = 'Y';
  patchedExe[6] = 'R';
  EXPECT_EQ(ts::ReadFile(game_ + "/XvT.exe"), patchedExe);
  if (GetParam().flagFolder) {
    EXPECT_EQ(ts::ReadText(game_ + "/JXPatch/Back.JX"), kFlagText);
  }
  EXPECT_TRUE(ts::Exists(LogPath()));
  EXPECT_FALSE(ts::Exists(package_ + "/Temp")) << "the staging folder is cleaned up";

  // A second opening in the same run proposes the folder of the install.
  path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(ui_driver::ControlText(path, kGameFolderEdit), WindowsPath(game_));
  ui_driver::Click(path, kCancel);
  ASSERT_TRUE(ui_driver::WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
  EXPECT_TRUE(ui_driver::ControlEnabled(main, kUninstall));

  ui_driver::Click(main, kUninstall);
  const auto uninstalled = AnswerMessageBox(*program, "Success");
  EXPECT_EQ(uninstalled.text, "Patch Uninstalled!");
  EXPECT_FALSE(uninstalled.hasIcon);
  EXPECT_TRUE(ui_driver::WaitUntil([&] { return !ui_driver::ControlEnabled(main, kUninstall); }))
      << "Uninstall is greyed once the log is gone";
  EXPECT_TRUE(ui_driver::WaitUntil(
      [&] { return program->FocusedWindow() == ui_driver::Control(main, kInstall); }))
      << "the focus moves from the greyed Uninstall to Install";

  EXPECT_EQ(ts::Snapshot(game_), gameBefore) << "every byte of the game is as before";
  EXPECT_EQ(ts::Snapshot(package_), packageBefore);
  EXPECT_FALSE(ts::Exists(package_ + "/QUARN Backup"));
  EndWithEsc(*program);
}

INSTANTIATE_TEST_SUITE_P(Ui, InstallAndUninstall,
                         ::testing::Values(InstallCase{"WithFlagFolder", true},
                                           InstallCase{"WithoutFlagFolder", false}),
                         CaseName());

enum class Typed { kGameFolder, kNothing, kMissingFolder, kTooLong, kAFile };

struct RefusedCase {
  const char* name;
  PackageKind package;
  Typed typed;
  std::string message;  // the whole text, or its first line when it ends in '.'
};

class RefusedInstall : public KyrShipPatchTest,
                       public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedInstall, ShowsAnErrorChangesNothingAndKeepsTheDialogOpen) {
  const RefusedCase& c = GetParam();
  WritePackage(c.package);
  const auto packageBefore = ts::Snapshot(package_);
  const auto gameBefore = ts::Snapshot(game_);
  std::string typed;
  switch (c.typed) {
    case Typed::kGameFolder: typed = WindowsPath(game_); break;
    case Typed::kNothing: break;
    case Typed::kMissingFolder: typed = WindowsPath(game_ + "/Missing"); break;
    // Its first 259 characters would name the game folder itself.
    case Typed::kTooLong: typed = WindowsPath(game_) + std::string(300, ' '); break;
    case Typed::kAFile: typed = WindowsPath(game_ + "/XvT.exe"); break;
  }

  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  HWND path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);
  ui_driver::SetControlText(path, kGameFolderEdit, typed);
  ui_driver::Click(path, kContinue);

  const bool firstScreenshot = std::string(c.name) == "GameFolderDoesNotExist";
  const auto error = AnswerMessageBox(*program, "Error", firstScreenshot ? "error-message" : "");
  if (c.message.back() == '!') {
    EXPECT_EQ(error.text, c.message);
  } else {
    EXPECT_EQ(ui_driver::FirstLine(error.text), c.message) << error.text;
    EXPECT_GT(error.text.size(), c.message.size() + 2) << "the message says why";
  }
  EXPECT_TRUE(error.hasIcon);
  EXPECT_EQ(error.buttons, std::vector<int>{IDOK});

  EXPECT_EQ(program->FindDialog(kPathCaption), path) << "the game folder dialog stays open";
  EXPECT_EQ(ui_driver::ControlText(path, kGameFolderEdit), typed);
  EXPECT_EQ(ts::Snapshot(game_), gameBefore) << "no game file changed";
  EXPECT_EQ(ts::Snapshot(package_), packageBefore) << "nothing was left in the package folder";
  EXPECT_FALSE(ts::Exists(LogPath()));

  ui_driver::Click(path, kCancel);
  ASSERT_TRUE(ui_driver::WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
  EXPECT_FALSE(ui_driver::ControlEnabled(main, kUninstall)) << "no install was recorded";
  EndWithEsc(*program);
}

INSTANTIATE_TEST_SUITE_P(
    Ui, RefusedInstall,
    ::testing::Values(
        RefusedCase{"MissingPackage", PackageKind::kNone, Typed::kGameFolder, kMissingPackageText},
        // The package check comes first, whatever was typed.
        RefusedCase{"MissingPackageAndNoFolder", PackageKind::kNone, Typed::kNothing,
                    kMissingPackageText},
        RefusedCase{"NoGameFolder", PackageKind::kGood, Typed::kNothing, kNotInstalled},
        RefusedCase{"GameFolderDoesNotExist", PackageKind::kGood, Typed::kMissingFolder,
                    kNotInstalled},
        RefusedCase{"GameFolderTooLong", PackageKind::kGood, Typed::kTooLong, kNotInstalled},
        RefusedCase{"GameFolderIsAFile", PackageKind::kGood, Typed::kAFile, kNotInstalled},
        RefusedCase{"DamagedPackage", PackageKind::kNotAnArchive, Typed::kGameFolder,
                    kNotInstalled},
        RefusedCase{"ScriptNamesAMissingGameFolder", PackageKind::kNamesMissingFolder,
                    Typed::kGameFolder, kNotInstalled}),
    CaseName());

TEST_F(KyrShipPatchTest, ContinueWorksOnceThePackageIsInPlace) {
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  HWND path = OpenFolderDialog(*program, main);
  ASSERT_NE(path, nullptr);
  ui_driver::SetControlText(path, kGameFolderEdit, WindowsPath(game_));
  ui_driver::Click(path, kContinue);
  EXPECT_EQ(AnswerMessageBox(*program, "Error").text, kMissingPackageText);

  WritePackage(PackageKind::kGood);
  ui_driver::Click(path, kContinue);
  EXPECT_EQ(AnswerMessageBox(*program, "Success").text, "Patch Installed!");
  EXPECT_EQ(ts::ReadFile(game_ + "/Data/ship1.dat"), kShip1Patched);
  EXPECT_TRUE(ui_driver::WaitUntil([&] { return ui_driver::ControlEnabled(main, kUninstall); }));
}

TEST_F(KyrShipPatchTest, FailedUninstallKeepsTheLogAndTheButton) {
  // A log whose pairs point outside its backup folder is not one this program wrote.
  const std::string log = WindowsPath(game_) + "\r\nC:\\Elsewhere\\ship1.dat\r\n" +
                          WindowsPath(game_) + "\\Data\\ship1.dat\r\nC:\\Elsewhere\\ship2.dat\r\n" +
                          WindowsPath(game_) + "\\Data\\ship2.dat\r\n";
  ts::WriteFile(LogPath(), log);
  const auto gameBefore = ts::Snapshot(game_);
  auto program = Start();
  HWND main = WaitForMain(*program);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(ui_driver::ControlEnabled(main, kUninstall));

  ui_driver::Click(main, kUninstall);
  const auto error = AnswerMessageBox(*program, "Error", "uninstall-error-message");
  EXPECT_EQ(ui_driver::FirstLine(error.text), kNotUninstalled) << error.text;
  EXPECT_TRUE(error.hasIcon);
  EXPECT_EQ(ts::ReadText(LogPath()), log);
  EXPECT_EQ(ts::Snapshot(game_), gameBefore);
  EXPECT_TRUE(ui_driver::ControlEnabled(main, kUninstall)) << "Uninstall can be run again";
  EndWithEsc(*program);
}

}  // namespace
