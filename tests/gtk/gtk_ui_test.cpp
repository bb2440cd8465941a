// End-to-end tests of kyr-ship-patch, the GTK program: it runs as a Linux player runs it, in
// a package folder of its own, with a home folder of its own that holds the Wine prefixes
// of each case; the test presses keys on its desktop, reads its dialogs and message boxes
// through the accessibility interface, and checks the files. Each test has fresh folders.
//
// The captions and texts are written out here, not taken from the program's headers: the
// tests hold the program to the values a player sees and the Windows program shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/gtk/Accessible.h"
#include "tests/gtk/Desktop.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"

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
namespace fs = std::filesystem;
using gtk_driver::Accessible;
using gtk_driver::Program;
using gtk_driver::WaitUntil;

constexpr char kMainCaption[] = "Kyr Ship Patch";
constexpr char kPathCaption[] = "Select Velmont Folder";
constexpr char kChooserCaption[] = "Current folder is:";
constexpr char kMissingPackageText[] = "Can't find installion package!  Aborting install!";
constexpr char kNotInstalled[] = "Patch not installed.";
constexpr char kNotUninstalled[] = "Patch not fully uninstalled.";
constexpr char kFlagText[] = "This is a flag, do not delete.";

// ---- a game, its Wine prefix, a package ------------------------------------------------

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

void MakeGame(const std::string& folder) {
  ts::WriteFile(folder + "/Data/ship1.dat", kShip1Original);
  ts::WriteFile(folder + "/Data/ship2.dat", kShip2Original);
  ts::WriteFile(folder + "/XvT.exe", kExeOriginal);
  ts::MakeFolders(folder + "/JXPatch");
}

// A 64-bit Wine prefix as Wine makes it (system.reg, drive_c, dosdevices/c: -> ../drive_c)
// whose registry holds the game's entry `installPath` (none when empty).
void MakePrefix(const std::string& prefix, const std::string& installPath = "") {
  std::string reg = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                    "#arch=win64\n\n[Software\\\\Classes\\\\.txt] 1700000000\n@=\"txtfile\"\n\n";
  if (!installPath.empty()) {
    std::string escaped;
    for (const char c : installPath) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    reg += "[Software\\\\Wow6432Node\\\\LucasArts Entertainment Company\\\\X-Wing vs. TIE "
           "Fighter\\\\2.0] 1700000000\n\"Install Path\"=\"" + escaped + "\"\n";
  }
  ts::WriteFile(prefix + "/system.reg", reg);
  ts::MakeFolders(prefix + "/drive_c/windows/system32");
  ts::MakeFolders(prefix + "/dosdevices");
  fs::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
}

enum class PackageKind {
  kNone,                // no Kyr.jxf at all
  kGood,                // replaces two ship files and patches the game's program
  kNotAnArchive,        // a Kyr.jxf that is no ZIP archive
  kNamesMissingFolder,  // a good archive whose script names a game folder that is not there
};

class KyrShipPatchGtk : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(gtk_driver::Display().empty()) << "the test desktop did not start";
    ts::MakeFolders(package_);
    ts::MakeFolders(home_);
    MakeGame(game_);
  }

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

  void Start(const std::vector<std::string>& arguments = {}) {
    program_ = std::make_unique<Program>(KYR_SHIP_PATCH, package_, environment_, arguments);
  }

  // Waits for the top-level window `caption` and gives it the focus, as a window manager
  // gives it to a window that appears.
  Accessible Show(AtspiRole role, const std::string& caption) {
    Accessible window = gtk_driver::WaitForTopLevel(program_->Pid(), role, caption);
    if (!window) {
      ADD_FAILURE() << "no window \"" << caption << "\"";
      return {};
    }
    EXPECT_TRUE(gtk_driver::Focus(gtk_driver::WaitForWindow(caption)))
        << "cannot focus \"" << caption << "\"";
    return window;
  }

  Accessible WaitForMain() { return Show(ATSPI_ROLE_FRAME, kMainCaption); }

  // Enter on "MAIN" presses Install, which opens "PATH".
  Accessible OpenPathDialog() {
    EXPECT_TRUE(gtk_driver::Focus(gtk_driver::WaitForWindow(kMainCaption)));
    EXPECT_TRUE(gtk_driver::PressKeys({"Return"}));
    return Show(ATSPI_ROLE_FRAME, kPathCaption);
  }

  struct MessageView {
    std::string text;
    bool hasIcon = false;
    std::vector<std::string> buttons;
  };

  // Waits for the message box `caption`, reads it, answers it with Enter and waits until
  // it is gone.
  MessageView AnswerMessage(const std::string& caption, const std::string& screenshot = "") {
    const Accessible box = Show(ATSPI_ROLE_ALERT, caption);
    if (!box) return {};
    if (!screenshot.empty()) gtk_driver::Screenshot(screenshot, gtk_driver::FindWindow(caption));
    MessageView view;
    view.text = box.Find(ATSPI_ROLE_LABEL).Name();
    view.hasIcon = static_cast<bool>(box.Find(ATSPI_ROLE_ICON));
    for (const Accessible& button : box.FindAll(ATSPI_ROLE_PUSH_BUTTON)) {
      view.buttons.push_back(button.Name());
    }
    EXPECT_TRUE(gtk_driver::PressKeys({"Return"}));
    EXPECT_TRUE(WaitUntil([&] { return !box.Showing(); })) << "the message box did not close";
    return view;
  }

  // Esc on "MAIN" must end the program with exit code 0.
  void EndWithEsc() {
    ASSERT_TRUE(gtk_driver::Focus(gtk_driver::WaitForWindow(kMainCaption)));
    ASSERT_TRUE(gtk_driver::PressKeys({"Escape"}));
    ASSERT_TRUE(program_->WaitForExit()) << "Esc did not end the program";
    EXPECT_EQ(program_->ExitCode(), 0);
  }

  std::string LogPath() const { return package_ + "/QUARN Backup/Uninstall.cfg"; }

  ts::TempDir temp_;
  const std::string package_ = temp_ / "Kyr package";
  const std::string home_ = temp_ / "home";
  const std::string game_ = temp_ / "XvT Game";
  // The program's own variables; the desktop's are added by Program. No WINEPREFIX unless
  // a case sets one.
  std::vector<std::string> environment_ = {"HOME=" + home_};
  std::unique_ptr<Program> program_;
};

// The controls of a dialog in the order the program made them, which is the tab order.
std::vector<std::string> ControlNames(const Accessible& dialog) {
  std::vector<std::string> names;
  for (const Accessible& control : dialog.Find(ATSPI_ROLE_PANEL).Children()) {
    names.push_back(control.Role() == ATSPI_ROLE_TEXT ? "<edit>" : control.Name());
  }
  return names;
}

Accessible Button(const Accessible& dialog, const std::string& name) {
  return dialog.Find(ATSPI_ROLE_PUSH_BUTTON, name);
}

Accessible Edit(const Accessible& dialog) { return dialog.Find(ATSPI_ROLE_TEXT); }

// ---- the main dialog ------------------------------------------------------------------

struct StartCase {
  const char* name;
  bool logFolder;
  bool log;  // an empty uninstall log: it exists, so an install is recorded
  std::vector<std::string> arguments;
};

class MainDialogStart : public KyrShipPatchGtk, public ::testing::WithParamInterface<StartCase> {};

TEST_P(MainDialogStart, UninstallIsEnabledExactlyWhenTheLogExists) {
  if (GetParam().logFolder) ts::MakeFolders(package_ + "/QUARN Backup");
  if (GetParam().log) ts::WriteFile(LogPath(), "");
  Start(GetParam().arguments);
  const Accessible main = WaitForMain();
  ASSERT_TRUE(main);
  if (!GetParam().log) gtk_driver::Screenshot("main-first-start", gtk_driver::FindWindow(kMainCaption));

  EXPECT_EQ(ControlNames(main),
            (std::vector<std::string>{"Install", "Uninstall", "Install/Uninstall Kyr Ship Patch"}));
  const Accessible install = Button(main, "Install");
  EXPECT_TRUE(install.Enabled());
  EXPECT_EQ(Button(main, "Uninstall").Enabled(), GetParam().log);
  EXPECT_TRUE(WaitUntil([&] { return install.Focused(); })) << "Install has the focus";
  EXPECT_TRUE(install.IsDefault()) << "Enter presses Install";

  // Tab goes through the enabled buttons in template order and comes back.
  ASSERT_TRUE(gtk_driver::PressKeys({"Tab"}));
  if (GetParam().log) {
    EXPECT_TRUE(WaitUntil([&] { return Button(main, "Uninstall").Focused(); }));
    ASSERT_TRUE(gtk_driver::PressKeys({"Tab"}));
  }
  EXPECT_TRUE(WaitUntil([&] { return install.Focused(); }));
  EndWithEsc();
  EXPECT_EQ(ts::Exists(LogPath()), GetParam().log) << "nothing ran";
}

INSTANTIATE_TEST_SUITE_P(
    Gtk, MainDialogStart,
    ::testing::Values(StartCase{"NoLog", false, false, {}},
                      StartCase{"BackupFolderWithoutLog", true, false, {}},
                      StartCase{"EmptyLog", true, true, {}},
                      // The program has no options, GTK's own included.
                      StartCase{"ArgumentsChangeNothing", true, true,
                                {"uninstall", "--display=:9999", "--install"}}),
    CaseName());

struct EndCase {
  const char* name;
  bool closeBox;  // else Esc
};

class MainDialogEnd : public KyrShipPatchGtk, public ::testing::WithParamInterface<EndCase> {};

TEST_P(MainDialogEnd, EndsTheProgramWithExitCodeZero) {
  Start();
  ASSERT_TRUE(WaitForMain());
  if (GetParam().closeBox) {
    ASSERT_TRUE(gtk_driver::PressCloseBox(gtk_driver::WaitForWindow(kMainCaption)));
  } else {
    ASSERT_TRUE(gtk_driver::PressKeys({"Escape"}));
  }
  ASSERT_TRUE(program_->WaitForExit()) << "the program still runs";
  EXPECT_EQ(program_->ExitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Gtk, MainDialogEnd,
                         ::testing::Values(EndCase{"Esc", false}, EndCase{"CloseBox", true}),
                         CaseName());

TEST_F(KyrShipPatchGtk, WithoutADisplaySaysSoAndFails) {
  environment_.push_back("DISPLAY=");
  Start();
  ASSERT_TRUE(program_->WaitForExit());
  EXPECT_EQ(program_->ExitCode(), 1);
}

// ---- the game folder dialog -----------------------------------------------------------

enum class Prefixes {
  kNone,                 // no Wine prefix at all
  kWithoutGame,          // ~/.wine, whose registry does not name the game
  kGameInHomeWine,       // ~/.wine names C:\Games\XvT, which is there
  kGameInWinePrefix,     // WINEPREFIX names it; ~/.wine has no game
  kGameInProton,         // only a Proton prefix of Steam names it
  kGameFolderMissing,    // ~/.wine names C:\Games\XvT, which is not there
};

struct ProposalCase {
  const char* name;
  Prefixes prefixes;
  std::string proposed;  // below the test's folder, or "C:\" itself
};

class FolderDialogProposal : public KyrShipPatchGtk,
                             public ::testing::WithParamInterface<ProposalCase> {};

TEST_P(FolderDialogProposal, ProposesTheGameFromTheWinePrefixRegistry) {
  const std::string wine = home_ + "/.wine";
  switch (GetParam().prefixes) {
    case Prefixes::kNone:
      break;
    case Prefixes::kWithoutGame:
      MakePrefix(wine);
      break;
    case Prefixes::kGameInHomeWine:
      MakePrefix(wine, "C:\\Games\\XvT");
      MakeGame(wine + "/drive_c/Games/XvT");
      break;
    case Prefixes::kGameInWinePrefix:
      MakePrefix(wine);
      MakePrefix(temp_ / "prefix", "C:\\Games\\XvT");
      MakeGame(temp_ / "prefix/drive_c/Games/XvT");
      environment_.push_back("WINEPREFIX=" + (temp_ / "prefix"));
      break;
    case Prefixes::kGameInProton: {
      const std::string proton = home_ + "/.local/share/Steam/steamapps/compatdata/311210/pfx";
      MakePrefix(proton, "C:\\Games\\XvT");
      MakeGame(proton + "/drive_c/Games/XvT");
      break;
    }
    case Prefixes::kGameFolderMissing:
      MakePrefix(wine, "C:\\Games\\XvT");
      break;
  }
  Start();
  ASSERT_TRUE(WaitForMain());
  const Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);

  const std::string expected =
      GetParam().proposed == "C:\\" ? GetParam().proposed : temp_ / GetParam().proposed;
  EXPECT_EQ(Edit(path).Text(), expected);
  EXPECT_EQ(ControlNames(path), (std::vector<std::string>{"...", "Cancel", "<edit>", "Continue"}));
  const Accessible browse = Button(path, "...");
  EXPECT_TRUE(WaitUntil([&] { return browse.Focused(); })) << "\"...\" has the focus";
  EXPECT_TRUE(browse.IsDefault()) << "Enter opens the folder chooser";
  if (GetParam().prefixes == Prefixes::kGameInHomeWine) {
    gtk_driver::Screenshot("path-dialog", gtk_driver::FindWindow(kPathCaption));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Gtk, FolderDialogProposal,
    ::testing::Values(
        ProposalCase{"NoPrefix", Prefixes::kNone, "C:\\"},
        // "C:\" is the prefix's C: drive, shown as the Linux folder it is.
        ProposalCase{"PrefixWithoutGame", Prefixes::kWithoutGame, "home/.wine/drive_c"},
        ProposalCase{"GameInHomeWine", Prefixes::kGameInHomeWine,
                     "home/.wine/drive_c/Games/XvT"},
        ProposalCase{"GameInWinePrefix", Prefixes::kGameInWinePrefix, "prefix/drive_c/Games/XvT"},
        ProposalCase{"GameInProtonPrefix", Prefixes::kGameInProton,
                     "home/.local/share/Steam/steamapps/compatdata/311210/pfx/drive_c/Games/XvT"},
        ProposalCase{"RegisteredFolderMissing", Prefixes::kGameFolderMissing,
                     "home/.wine/drive_c"}),
    CaseName());

TEST_F(KyrShipPatchGtk, TabGoesThroughTheFolderDialogInTemplateOrder) {
  Start();
  ASSERT_TRUE(WaitForMain());
  const Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);
  const std::vector<Accessible> order = {Button(path, "..."), Button(path, "Cancel"), Edit(path),
                                         Button(path, "Continue"), Button(path, "...")};
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_TRUE(WaitUntil([&] { return order[i].Focused(); })) << "tab stop " << i;
    if (i + 1 < order.size()) {
      ASSERT_TRUE(gtk_driver::PressKeys({"Tab"}));
    }
  }
  ASSERT_TRUE(gtk_driver::PressKeys({"shift+Tab"}));
  EXPECT_TRUE(WaitUntil([&] { return order[3].Focused(); })) << "Shift+Tab goes back";
}

struct CloseCase {
  const char* name;
  enum { kCancel, kEsc, kCloseBox } how;
};

class FolderDialogClose : public KyrShipPatchGtk,
                          public ::testing::WithParamInterface<CloseCase> {};

TEST_P(FolderDialogClose, EndsTheDialogAndChangesNothing) {
  WritePackage(PackageKind::kGood);
  const auto packageBefore = ts::Snapshot(package_);
  const auto gameBefore = ts::Snapshot(game_);
  Start();
  const Accessible main = WaitForMain();
  ASSERT_TRUE(main);
  const Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);
  ASSERT_TRUE(Edit(path).SetText(game_));

  switch (GetParam().how) {
    case CloseCase::kCancel:
      ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Return"}));  // from "..." to Cancel
      break;
    case CloseCase::kEsc:
      ASSERT_TRUE(gtk_driver::PressKeys({"Escape"}));
      break;
    case CloseCase::kCloseBox:
      ASSERT_TRUE(gtk_driver::PressCloseBox(gtk_driver::FindWindow(kPathCaption)));
      break;
  }
  EXPECT_TRUE(WaitUntil([&] { return !path.Showing(); })) << "the game folder dialog is open";
  EXPECT_TRUE(program_->Running());
  EXPECT_FALSE(Button(main, "Uninstall").Enabled()) << "no install was recorded";
  EXPECT_EQ(ts::Snapshot(package_), packageBefore);
  EXPECT_EQ(ts::Snapshot(game_), gameBefore);
  EndWithEsc();
}

INSTANTIATE_TEST_SUITE_P(Gtk, FolderDialogClose,
                         ::testing::Values(CloseCase{"Cancel", CloseCase::kCancel},
                                           CloseCase{"Esc", CloseCase::kEsc},
                                           CloseCase{"CloseBox", CloseCase::kCloseBox}),
                         CaseName());

// Enter in the edit box opens the folder chooser on the game folder (not on the typed text);
// a cancel leaves the typed text, a choice replaces it.
TEST_F(KyrShipPatchGtk, EnterInTheEditBoxOpensTheFolderChooserOnTheGameFolder) {
  const std::string wine = home_ + "/.wine";
  MakePrefix(wine, "C:\\Games\\XvT");
  MakeGame(wine + "/drive_c/Games/XvT");
  Start();
  ASSERT_TRUE(WaitForMain());
  const Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);
  const Accessible edit = Edit(path);
  ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Tab"}));  // "..." -> Cancel -> the edit box
  ASSERT_TRUE(WaitUntil([&] { return edit.Focused(); }));
  ASSERT_TRUE(gtk_driver::Type("typed but not used"));
  ASSERT_TRUE(WaitUntil([&] { return edit.Text() == "typed but not used"; })) << edit.Text();

  ASSERT_TRUE(gtk_driver::PressKeys({"Return"}));
  Accessible chooser = Show(ATSPI_ROLE_FILE_CHOOSER, kChooserCaption);
  ASSERT_TRUE(chooser) << "Enter did not open the folder chooser";
  gtk_driver::Screenshot("folder-chooser", gtk_driver::FindWindow(kChooserCaption));
  ASSERT_TRUE(gtk_driver::PressKeys({"Escape"}));
  EXPECT_TRUE(WaitUntil([&] { return !chooser.Showing(); }));
  EXPECT_TRUE(path.Showing()) << "the game folder dialog stays open";
  EXPECT_EQ(edit.Text(), "typed but not used") << "a cancelled chooser changes nothing";

  ASSERT_TRUE(gtk_driver::Focus(gtk_driver::FindWindow(kPathCaption)));
  ASSERT_TRUE(gtk_driver::PressKeys({"Return"}));
  chooser = Show(ATSPI_ROLE_FILE_CHOOSER, kChooserCaption);
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(Button(chooser, "Select").Press());
  EXPECT_TRUE(WaitUntil([&] { return !chooser.Showing(); }));
  EXPECT_TRUE(WaitUntil([&] { return edit.Text() == wine + "/drive_c/Games/XvT"; }))
      << "the chooser opens on the game folder and its choice fills the edit box: "
      << edit.Text();
}

// ---- install and uninstall ------------------------------------------------------------

struct InstallCase {
  const char* name;
  bool inPrefix;  // the game in ~/.wine, proposed by the dialog; else typed into the edit box
};

class InstallAndUninstall : public KyrShipPatchGtk,
                            public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallAndUninstall, InstallsThenUninstallRestoresEveryByte) {
  const bool screenshots = GetParam().inPrefix;
  std::string game = game_;
  if (GetParam().inPrefix) {
    MakePrefix(home_ + "/.wine", "C:\\Games\\XvT");
    game = home_ + "/.wine/drive_c/Games/XvT";
    MakeGame(game);
  }
  WritePackage(PackageKind::kGood);
  const auto packageBefore = ts::Snapshot(package_);
  const auto gameBefore = ts::Snapshot(game);

  Start();
  const Accessible main = WaitForMain();
  ASSERT_TRUE(main);
  Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);
  if (GetParam().inPrefix) {
    EXPECT_EQ(Edit(path).Text(), game);
    ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Tab", "Tab", "Return"}));  // to Continue
  } else {
    EXPECT_EQ(Edit(path).Text(), "C:\\");
    ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Tab"}));  // to the edit box, its text selected
    ASSERT_TRUE(WaitUntil([&] { return Edit(path).Focused(); }));
    ASSERT_TRUE(gtk_driver::Type(game));
    ASSERT_TRUE(WaitUntil([&] { return Edit(path).Text() == game; })) << Edit(path).Text();
    ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Return"}));  // to Continue
  }

  const Accessible box = Show(ATSPI_ROLE_ALERT, "Success");
  ASSERT_TRUE(box) << "no success message";
  EXPECT_FALSE(path.Showing()) << "the game folder dialog has ended";
  const MessageView installed = AnswerMessage("Success", screenshots ? "installed-message" : "");
  EXPECT_EQ(installed.text, "Patch Installed!");
  EXPECT_FALSE(installed.hasIcon);
  EXPECT_EQ(installed.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(WaitUntil([&] { return Button(main, "Uninstall").Enabled(); }))
      << "Uninstall is enabled after an install";
  if (screenshots) gtk_driver::Screenshot("main-installed", gtk_driver::FindWindow(kMainCaption));

  EXPECT_EQ(ts::ReadFile(game + "/Data/ship1.dat"), kShip1Patched);
  EXPECT_EQ(ts::ReadFile(game + "/Data/ship2.dat"), kShip2Patched);
  ts::Bytes patchedExe = kExeOriginal;
  patchedExe[4] = 'K';
  patchedExe[5] = 'Y';
  patchedExe[6] = 'R';
  EXPECT_EQ(ts::ReadFile(game + "/XvT.exe"), patchedExe);
  EXPECT_EQ(ts::ReadText(game + "/JXPatch/Back.JX"), kFlagText);
  EXPECT_TRUE(ts::Exists(LogPath()));
  EXPECT_FALSE(ts::Exists(package_ + "/Temp")) << "the staging folder is cleaned up";

  // A second opening in the same run proposes the folder of the install.
  path = OpenPathDialog();
  ASSERT_TRUE(path);
  EXPECT_EQ(Edit(path).Text(), game);
  ASSERT_TRUE(gtk_driver::PressKeys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return !path.Showing(); }));

  ASSERT_TRUE(gtk_driver::Focus(gtk_driver::WaitForWindow(kMainCaption)));
  ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Return"}));  // Install -> Uninstall
  const MessageView uninstalled = AnswerMessage("Success");
  EXPECT_EQ(uninstalled.text, "Patch Uninstalled!");
  EXPECT_FALSE(uninstalled.hasIcon);
  EXPECT_TRUE(WaitUntil([&] { return !Button(main, "Uninstall").Enabled(); }))
      << "Uninstall is greyed once the log is gone";
  ASSERT_TRUE(gtk_driver::Focus(gtk_driver::WaitForWindow(kMainCaption)));
  EXPECT_TRUE(WaitUntil([&] { return Button(main, "Install").Focused(); }))
      << "the focus moves from the greyed Uninstall to Install";

  EXPECT_EQ(ts::Snapshot(game), gameBefore) << "every byte of the game is as before";
  EXPECT_EQ(ts::Snapshot(package_), packageBefore);
  EXPECT_FALSE(ts::Exists(package_ + "/QUARN Backup"));
  EndWithEsc();
}

INSTANTIATE_TEST_SUITE_P(Gtk, InstallAndUninstall,
                         ::testing::Values(InstallCase{"GameProposedFromPrefix", true},
                                           InstallCase{"GameFolderTyped", false}),
                         CaseName());

enum class Typed { kGameFolder, kNothing, kMissingFolder, kTooLong, kAFile };

struct RefusedCase {
  const char* name;
  PackageKind package;
  Typed typed;
  std::string message;  // the whole text, or its first line when it ends in '.'
};

class RefusedInstall : public KyrShipPatchGtk,
                       public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedInstall, ShowsAnErrorChangesNothingAndKeepsTheDialogOpen) {
  const RefusedCase& c = GetParam();
  WritePackage(c.package);
  const auto packageBefore = ts::Snapshot(package_);
  const auto gameBefore = ts::Snapshot(game_);
  std::string typed;
  switch (c.typed) {
    case Typed::kGameFolder: typed = game_; break;
    case Typed::kNothing: break;
    case Typed::kMissingFolder: typed = game_ + "/Missing"; break;
    // Its first 259 characters would name the game folder itself.
    case Typed::kTooLong: typed = game_ + std::string(300, ' '); break;
    case Typed::kAFile: typed = game_ + "/XvT.exe"; break;
  }

  Start();
  const Accessible main = WaitForMain();
  ASSERT_TRUE(main);
  const Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);
  ASSERT_TRUE(Edit(path).SetText(typed));
  ASSERT_TRUE(Button(path, "Continue").Press());

  const bool screenshot = std::string(c.name) == "GameFolderDoesNotExist";
  const MessageView error = AnswerMessage("Error", screenshot ? "error-message" : "");
  if (c.message.back() == '!') {
    EXPECT_EQ(error.text, c.message);
  } else {
    EXPECT_EQ(error.text.substr(0, error.text.find('\n')), c.message) << error.text;
    EXPECT_GT(error.text.size(), c.message.size() + 2) << "the message says why";
  }
  EXPECT_TRUE(error.hasIcon);
  EXPECT_EQ(error.buttons, std::vector<std::string>{"OK"});

  EXPECT_TRUE(path.Showing()) << "the game folder dialog stays open";
  EXPECT_EQ(Edit(path).Text(), typed);
  EXPECT_EQ(ts::Snapshot(game_), gameBefore) << "no game file changed";
  EXPECT_EQ(ts::Snapshot(package_), packageBefore) << "nothing was left in the package folder";

  ASSERT_TRUE(Button(path, "Cancel").Press());
  ASSERT_TRUE(WaitUntil([&] { return !path.Showing(); }));
  EXPECT_FALSE(Button(main, "Uninstall").Enabled()) << "no install was recorded";
  EndWithEsc();
}

INSTANTIATE_TEST_SUITE_P(
    Gtk, RefusedInstall,
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

TEST_F(KyrShipPatchGtk, ContinueWorksOnceThePackageIsInPlace) {
  Start();
  const Accessible main = WaitForMain();
  ASSERT_TRUE(main);
  const Accessible path = OpenPathDialog();
  ASSERT_TRUE(path);
  ASSERT_TRUE(Edit(path).SetText(game_));
  ASSERT_TRUE(Button(path, "Continue").Press());
  EXPECT_EQ(AnswerMessage("Error").text, kMissingPackageText);

  WritePackage(PackageKind::kGood);
  ASSERT_TRUE(Button(path, "Continue").Press());
  EXPECT_EQ(AnswerMessage("Success").text, "Patch Installed!");
  EXPECT_EQ(ts::ReadFile(game_ + "/Data/ship1.dat"), kShip1Patched);
  EXPECT_TRUE(WaitUntil([&] { return Button(main, "Uninstall").Enabled(); }));
}

TEST_F(KyrShipPatchGtk, FailedUninstallKeepsTheLogAndTheButton) {
  // A log the Windows program wrote: its paths carry drive letters, which mean nothing here.
  const std::string log =
      "C:\\Games\\XvT\r\nC:\\Kyr package\\QUARN Backup\\ship1.dat\r\n"
      "C:\\Games\\XvT\\Data\\ship1.dat\r\n";
  ts::WriteFile(LogPath(), log);
  ts::WriteFile(package_ + "/QUARN Backup/ship1.dat", "saved ship one");
  const auto gameBefore = ts::Snapshot(game_);
  Start();
  const Accessible main = WaitForMain();
  ASSERT_TRUE(main);
  ASSERT_TRUE(Button(main, "Uninstall").Enabled());

  ASSERT_TRUE(gtk_driver::PressKeys({"Tab", "Return"}));  // Install -> Uninstall
  const MessageView error = AnswerMessage("Error", "uninstall-error-message");
  EXPECT_EQ(error.text.substr(0, error.text.find('\n')), kNotUninstalled) << error.text;
  EXPECT_TRUE(error.hasIcon);
  EXPECT_EQ(ts::ReadText(LogPath()), log);
  EXPECT_EQ(ts::ReadText(package_ + "/QUARN Backup/ship1.dat"), "saved ship one");
  EXPECT_EQ(ts::Snapshot(game_), gameBefore);
  EXPECT_TRUE(Button(main, "Uninstall").Enabled()) << "Uninstall can be run again";
  EndWithEsc();
}

}  // namespace
