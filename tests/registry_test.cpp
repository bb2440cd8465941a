// Finding the game: the registry value in Wine prefixes (system.reg with its escapes and two
// views), drive letters through dosdevices/, the usual places of prefixes below $HOME, the
// order in which kyrpatch looks, and an install into a Proton prefix without --game.
// Every prefix, Steam library and home folder is built by the test in a fresh folder, with
// HOME and WINEPREFIX pointing there for the test only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/Cli.h"
#include "platform/Host.h"
#include "registry/GameLocator.h"
#include "tests/support/RunKyrpatch.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"

#ifndef _WIN32  // Wine prefixes are what the Linux program reads.

namespace {

namespace fs = std::filesystem;
using registry::Located;
using registry::MapProblem;
using testing_support::Exists;
using testing_support::MakeFolders;
using testing_support::ReadText;
using testing_support::Snapshot;
using testing_support::TempDir;
using testing_support::WriteFile;

// Sets an environment variable, or removes it (nullptr), for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Section lines as Wine writes them: key paths below HKEY_LOCAL_MACHINE, backslashes doubled.
constexpr char kPlainKey[] =
    "[Software\\\\LucasArts Entertainment Company\\\\X-Wing vs. TIE Fighter\\\\2.0] 1700000000\n";
constexpr char kWowKey[] =
    "[Software\\\\Wow6432Node\\\\LucasArts Entertainment Company\\\\X-Wing vs. TIE Fighter\\\\2.0]"
    " 1700000000\n#time=1d9a0b0c0d0e0f0\n";

// A system.reg: Wine's header, the architecture line (none when `arch` is empty), the body.
std::string SystemReg(const std::string& arch, const std::string& body) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n";
  if (!arch.empty()) text += "#arch=" + arch + "\n";
  text += "\n[Software\\\\Classes\\\\.txt] 1700000000\n@=\"txtfile\"\n\n";
  return text + body + "\n";
}

// `value` is the text between the quotes, escapes and all.
std::string GameEntry(const std::string& value) {
  return SystemReg("win64", std::string(kWowKey) + "\"Install Path\"=\"" + value + "\"\n");
}

// A prefix as Wine makes it: system.reg, drive_c, and dosdevices/c: -> ../drive_c.
void MakePrefix(const std::string& prefix, const std::string& systemReg) {
  WriteFile(prefix + "/system.reg", systemReg);
  MakeFolders(prefix + "/drive_c/windows/system32");
  MakeFolders(prefix + "/dosdevices");
  fs::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
}

// A prefix whose registry names C:\Games\XvT, with the game there (or without it).
std::string MakeGamePrefix(const std::string& prefix, bool withGameFolder = true) {
  MakePrefix(prefix, GameEntry("C:\\\\Games\\\\XvT"));
  const std::string folder = prefix + "/drive_c/Games/XvT";
  if (withGameFolder) WriteFile(folder + "/Data/ship1.dat", "original ship one");
  return folder;
}

std::string Canonical(const std::string& path) { return fs::canonical(path).string(); }

class WineTest : public ::testing::Test {
 protected:
  TempDir root_;
  std::string home_ = root_ / "home";
  ScopedEnvironment homeVariable_{"HOME", home_.c_str()};
  ScopedEnvironment winePrefixVariable_{"WINEPREFIX", nullptr};
};

// ---- The registry value -----------------------------------------------------------------

struct ReadCase {
  const char* name;
  std::string systemReg;
  bool syswow64;  // the prefix has drive_c/windows/syswow64
  std::optional<std::string> expected;
};

std::string BothViews(const std::string& arch) {
  return SystemReg(arch, std::string(kPlainKey) + "\"Install Path\"=\"C:\\\\Plain\"\n\n" +
                             kWowKey + "\"Install Path\"=\"C:\\\\Wow\"\n");
}

std::vector<ReadCase> ReadCases() {
  const std::string long259 = std::string(256, 'a');  // "C:\" and 256 letters
  return {
      {"64-bit prefix: the 32-bit view under Wow6432Node", BothViews("win64"), false, "C:\\Wow"},
      {"32-bit prefix: the plain key is the 32-bit view", BothViews("win32"), false, "C:\\Plain"},
      {"no #arch line, syswow64 present: 64-bit", BothViews(""), true, "C:\\Wow"},
      {"no #arch line, no syswow64: 32-bit", BothViews(""), false, "C:\\Plain"},
      {"64-bit prefix with the key only in the 64-bit view",
       SystemReg("win64", std::string(kPlainKey) + "\"Install Path\"=\"C:\\\\Plain\"\n"), false,
       std::nullopt},
      {"key and value names compare without case",
       SystemReg("win64",
                 "[software\\\\wow6432node\\\\LUCASARTS ENTERTAINMENT COMPANY\\\\x-wing vs. tie "
                 "fighter\\\\2.0] 1700000000\n\"install PATH\"=\"C:\\\\XvT\"\n"),
       false, "C:\\XvT"},
      {"Wine's escapes: \\\\ \\\" \\t \\xNNNN (at most four digits) and octal",
       GameEntry("C:\\\\Games\\\\\\\"X\\\" \\xe9t\\xe9 \\x00e9a \\x4e2d\\101\\t."), false,
       "C:\\Games\\\"X\" \xC3\xA9t\xC3\xA9 \xC3\xA9" "a \xE4\xB8\xAD" "A\t."},
      {"REG_EXPAND_SZ is expanded with the prefix's environment",
       SystemReg("win64",
                 std::string(kWowKey) +
                     "\"Install Path\"=str(2):\"%SystemDrive%\\\\Games\\\\%GAMEDIR%\\\\%Nope%\"\n\n"
                     "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] "
                     "1700000000\n\"GameDir\"=\"XvT\"\n"),
       false, "C:\\Games\\XvT\\%Nope%"},
      {"string data written as hex(1), continued over two lines",
       SystemReg("win64", std::string(kWowKey) +
                              "\"Install Path\"=hex(1):43,00,3a,00,5c,00,58,00,\\\n"
                              "  76,00,54,00,00,00\n\"After\"=\"x\"\n"),
       false, "C:\\XvT"},
      {"a DWORD is no string",
       SystemReg("win64", std::string(kWowKey) + "\"Install Path\"=dword:00000001\n"), false,
       std::nullopt},
      {"binary data are no string",
       SystemReg("win64", std::string(kWowKey) + "\"Install Path\"=hex:43,3a,5c,00\n"), false,
       std::nullopt},
      {"a multi-string is no string",
       SystemReg("win64", std::string(kWowKey) + "\"Install Path\"=str(7):\"C:\\\\XvT\\0\"\n"),
       false, std::nullopt},
      {"the key without the value",
       SystemReg("win64", std::string(kWowKey) + "\"Version\"=\"2.0\"\n"), false, std::nullopt},
      {"a subkey or a key with a longer name does not count",
       SystemReg("win64",
                 "[Software\\\\Wow6432Node\\\\LucasArts Entertainment Company\\\\X-Wing vs. TIE "
                 "Fighter\\\\2.0\\\\Patch] 1700000000\n\"Install Path\"=\"C:\\\\A\"\n\n"
                 "[Software\\\\Wow6432Node\\\\LucasArts Entertainment Company\\\\X-Wing vs. TIE "
                 "Fighter\\\\2.01] 1700000000\n\"Install Path\"=\"C:\\\\B\"\n"),
       false, std::nullopt},
      {"259 characters fit a path", GameEntry("C:\\\\" + long259), false, "C:\\" + long259},
      {"260 characters do not", GameEntry("C:\\\\" + long259 + "b"), false, std::nullopt},
      {"text after an embedded terminator does not count", GameEntry("C:\\\\XvT\\0junk"), false,
       "C:\\XvT"},
      {"an empty value proposes nothing", GameEntry(""), false, std::nullopt},
      {"a file that is no Wine registry",
       "REGEDIT4\n" + std::string(kWowKey) + "\"Install Path\"=\"C:\\\\XvT\"\n", false,
       std::nullopt},
  };
}

TEST_F(WineTest, InstallPathIsReadFromTheThirtyTwoBitViewUnderWinesRules) {
  int index = 0;
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    const std::string prefix = root_ / ("pfx" + std::to_string(index++));
    MakePrefix(prefix, c.systemReg);
    if (c.syswow64) MakeFolders(prefix + "/drive_c/windows/syswow64");
    EXPECT_EQ(registry::ReadInstallPath(prefix), c.expected);
  }
  EXPECT_EQ(registry::ReadInstallPath(root_ / "no prefix"), std::nullopt);
}

// ---- Drive letters -------------------------------------------------------------------------

TEST_F(WineTest, WindowsPathsMapThroughDosdevicesAsWindowsWouldOpenThem) {
  const std::string prefix = root_ / "pfx";
  MakePrefix(prefix, GameEntry(""));
  WriteFile(prefix + "/drive_c/Games/XvT/Z_XVT.EXE", "game");
  MakeFolders(prefix + "/drive_c/Dup/Saves");
  MakeFolders(prefix + "/drive_c/Dup/SAVES");
  MakeFolders(prefix + "/drive_c/Twin/saves");
  MakeFolders(prefix + "/drive_c/Twin/SAVES");
  MakeFolders(root_ / "cdrom/XvT");
  fs::create_directory_symlink(root_ / "cdrom", prefix + "/dosdevices/d:");
  fs::create_directory_symlink(root_ / "gone", prefix + "/dosdevices/e:");

  const std::string c = prefix + "/drive_c";
  const struct {
    const char* windowsPath;
    MapProblem problem;
    std::string linuxPath;
  } cases[] = {
      {"C:\\Games\\XvT", MapProblem::kNone, c + "/Games/XvT"},
      {"c:/GAMES/xvt/", MapProblem::kNone, c + "/Games/XvT"},
      {"C:\\Games\\.\\Other\\..\\XvT", MapProblem::kNone, c + "/Games/XvT"},
      {"C:\\..\\..\\Games\\XvT", MapProblem::kNone, c + "/Games/XvT"},
      {"C:\\Games\\XvT\\z_xvt.exe", MapProblem::kNone, c + "/Games/XvT/Z_XVT.EXE"},
      {"C:\\", MapProblem::kNone, c},
      {"C:", MapProblem::kNone, c},
      {"D:\\XvT", MapProblem::kNone, root_ / "cdrom/XvT"},
      {"C:\\Dup\\Saves", MapProblem::kNone, c + "/Dup/Saves"},  // the exact name wins
      {"C:\\Twin\\Saves", MapProblem::kAmbiguous, ""},
      {"C:\\Games\\Missing", MapProblem::kNotFound, ""},
      {"E:\\XvT", MapProblem::kNoSuchDrive, ""},  // the link's target is gone
      {"F:\\XvT", MapProblem::kNoSuchDrive, ""},  // no link at all
      {"Games\\XvT", MapProblem::kNotADrivePath, ""},
      {"C:Games", MapProblem::kNotADrivePath, ""},
      {"\\\\server\\share\\XvT", MapProblem::kNotADrivePath, ""},
      {"", MapProblem::kNotADrivePath, ""},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.windowsPath);
    const registry::MappedPath mapped = registry::MapWindowsPath(prefix, t.windowsPath);
    EXPECT_EQ(mapped.problem, t.problem);
    EXPECT_EQ(mapped.path, t.linuxPath);
  }
}

TEST_F(WineTest, ExaminingAPrefixSaysWhyItDoesNotHoldTheGame) {
  const struct {
    const char* name;
    std::string systemReg;  // empty: no system.reg at all
    const char* why;
  } cases[] = {
      {"no registry", "", "not a Wine prefix"},
      {"no value", SystemReg("win64", kWowKey), "does not name the game folder"},
      {"a drive the prefix lacks", GameEntry("G:\\\\XvT"), "no drive G:"},
      {"a folder that is gone", GameEntry("C:\\\\Games\\\\XvT"), "does not exist"},
      {"a file, not a folder", GameEntry("C:\\\\windows\\\\win.ini"), "not a folder"},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string prefix = root_ / ("pfx" + std::to_string(index++));
    if (c.systemReg.empty()) {
      MakeFolders(prefix + "/drive_c");
    } else {
      MakePrefix(prefix, c.systemReg);
      WriteFile(prefix + "/drive_c/windows/win.ini", "[windows]\r\n");
    }
    const registry::PrefixExamination examination = registry::ExaminePrefix({prefix, "test"});
    EXPECT_FALSE(examination.holdsGame);
    EXPECT_NE(examination.problem.find(c.why), std::string::npos) << examination.problem;
  }
}

// ---- Where prefixes are found ----------------------------------------------------------

class DiscoveryTest : public WineTest {
 protected:
  std::string Steam() const { return home_ + "/.local/share/Steam"; }

  // The usual places, each with a prefix, plus folders that look like places but hold none.
  // Returns every real prefix with its origin, in canonical form.
  std::vector<std::pair<std::string, std::string>> BuildPlaces() {
    // Native Steam, reached twice: ~/.steam/steam is a link to ~/.local/share/Steam, and its
    // library list names itself, a second library, and one that no longer exists.
    const std::string library = root_ / "Steam Library";
    WriteFile(Steam() + "/steamapps/libraryfolders.vdf",
              "\"libraryfolders\"\n{\n"
              "\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + Steam() + "\"\n\t\t\"label\"\t\t\"\"\n"
              "\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"123\"\n\t\t}\n\t}\n"
              "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + library + "\"\n\t}\n"
              "\t\"2\"\n\t{\n\t\t\"path\"\t\t\"/nonexistent/kyr library\"\n\t}\n}\n");
    MakeFolders(home_ + "/.steam");
    fs::create_directory_symlink(Steam(), home_ + "/.steam/steam");
    MakeGamePrefix(Steam() + "/steamapps/compatdata/311210/pfx");
    MakePrefix(Steam() + "/steamapps/compatdata/228980/pfx", SystemReg("win64", ""));
    MakeFolders(Steam() + "/steamapps/compatdata/999");              // never started
    MakeFolders(Steam() + "/steamapps/compatdata/555/pfx/drive_c");  // no registry yet
    MakeGamePrefix(library + "/steamapps/compatdata/400/pfx");

    // Flatpak Steam with a library list in the old format: numbered paths in the root block.
    const std::string oldLibrary = root_ / "Old Library";
    WriteFile(home_ + "/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/"
                      "libraryfolders.vdf",
              "// written by an old Steam\n\"LibraryFolders\"\n{\n"
              "\t\"TimeNextStatsReport\"\t\t\"1700000000\"\n\t\"ContentStatsID\"\t\t\"-42\"\n"
              "\t\"1\"\t\t\"" + oldLibrary + "\"\n}\n");
    MakePrefix(oldLibrary + "/steamapps/compatdata/500/pfx", SystemReg("win32", ""));

    MakeGamePrefix(home_ + "/Games/x-wing-vs-tie-fighter");
    MakeFolders(home_ + "/Games/notes");
    // A link to a prefix listed already (under "Steam", which comes first).
    fs::create_directory_symlink(Steam() + "/steamapps/compatdata/311210/pfx",
                                 home_ + "/Games/steam-xvt");
    MakePrefix(home_ + "/.local/share/bottles/bottles/XvT", SystemReg("win64", ""));
    MakePrefix(home_ + "/.var/app/com.usebottles.bottles/data/bottles/bottles/Gog",
               SystemReg("win64", ""));

    return {
        {Canonical(Steam() + "/steamapps/compatdata/228980/pfx"), "Steam (Proton), app 228980"},
        {Canonical(Steam() + "/steamapps/compatdata/311210/pfx"), "Steam (Proton), app 311210"},
        {Canonical(library + "/steamapps/compatdata/400/pfx"), "Steam (Proton), app 400"},
        {Canonical(oldLibrary + "/steamapps/compatdata/500/pfx"), "Steam (Proton), app 500"},
        {Canonical(home_ + "/Games/x-wing-vs-tie-fighter"), "Lutris"},
        {Canonical(home_ + "/.local/share/bottles/bottles/XvT"), "Bottles"},
        {Canonical(home_ + "/.var/app/com.usebottles.bottles/data/bottles/bottles/Gog"),
         "Bottles (Flatpak)"},
    };
  }
};

TEST_F(DiscoveryTest, EveryUsualPlaceIsSearchedAndEachPrefixListedOnce) {
  auto expected = BuildPlaces();
  std::vector<std::pair<std::string, std::string>> found;
  for (const registry::Prefix& prefix : registry::DiscoverPrefixes()) {
    found.emplace_back(Canonical(prefix.path), prefix.origin);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, expected);
}

TEST_F(DiscoveryTest, FindGamesListsThePrefixesThatHoldTheGame) {
  BuildPlaces();
  const std::string winePrefix = home_ + "/Games/x-wing-vs-tie-fighter";
  const ScopedEnvironment variable("WINEPREFIX", winePrefix.c_str());
  const std::string dotWine = MakeGamePrefix(home_ + "/.wine");
  // A bottle that names the game of ~/.wine through its z: drive: the same copy.
  const std::string bottle = home_ + "/.local/share/bottles/bottles/XvT";
  WriteFile(bottle + "/system.reg", GameEntry("Z:\\\\.wine\\\\drive_c\\\\Games\\\\XvT"));
  fs::create_directory_symlink(home_, bottle + "/dosdevices/z:");

  std::vector<std::pair<std::string, std::string>> games;
  for (const registry::FoundGame& game : registry::FindGames()) {
    EXPECT_EQ(game.windowsPath, "C:\\Games\\XvT");
    EXPECT_EQ(game.folder, game.prefix + "/drive_c/Games/XvT");
    games.emplace_back(Canonical(game.folder), game.origin);
  }
  const std::vector<std::pair<std::string, std::string>> expected = {
      {Canonical(winePrefix + "/drive_c/Games/XvT"), "WINEPREFIX"},  // also Lutris': listed once
      {Canonical(dotWine), "~/.wine"},
      {Canonical(Steam() + "/steamapps/compatdata/311210/pfx/drive_c/Games/XvT"),
       "Steam (Proton), app 311210"},
      {Canonical(root_ / "Steam Library/steamapps/compatdata/400/pfx/drive_c/Games/XvT"),
       "Steam (Proton), app 400"},
  };
  EXPECT_EQ(games, expected);
}

TEST_F(WineTest, NoHomeMeansNoPlacesToSearch) {
  MakeGamePrefix(home_ + "/Games/xvt");
  const ScopedEnvironment noHome("HOME", nullptr);
  EXPECT_TRUE(registry::DiscoverPrefixes().empty());
  EXPECT_EQ(registry::LocateGame().outcome, Located::kNone);
}

// ---- The order in which the game is looked for ----------------------------------------------

TEST_F(WineTest, TheFirstPlaceThatHoldsTheGameWins) {
  enum Place { kNamed, kWinePrefix, kDotWine, kProton, kLutris, kPlaces };
  const char* const names[kPlaces] = {"named", "WINEPREFIX", "~/.wine", "Proton", "Lutris"};
  // What a place holds: nothing, the registry entry without the game folder, or the game.
  enum Holds { kNothing, kStaleEntry, kGame };
  const struct {
    const char* name;
    Holds holds[kPlaces];
    bool named;              // the player names a prefix (--prefix)
    bool winePrefixSet;      // WINEPREFIX names the kWinePrefix place
    Located outcome;
    int winner;              // the place of the game found, or -1
  } cases[] = {
      {"a named prefix comes first", {kGame, kGame, kGame, kGame, kNothing}, true, true,
       Located::kFound, kNamed},
      {"a named prefix without the game is final", {kNothing, kGame, kGame, kGame, kNothing},
       true, true, Located::kNotInPrefix, -1},
      {"WINEPREFIX before ~/.wine and the search", {kNothing, kGame, kGame, kGame, kNothing},
       false, true, Located::kFound, kWinePrefix},
      {"~/.wine when WINEPREFIX lacks the game", {kNothing, kNothing, kGame, kGame, kGame},
       false, true, Located::kFound, kDotWine},
      {"the search when neither holds it", {kNothing, kNothing, kNothing, kGame, kNothing},
       false, false, Located::kFound, kProton},
      {"an entry whose folder is gone is no game", {kNothing, kNothing, kStaleEntry, kNothing, kGame},
       false, false, Located::kFound, kLutris},
      {"several found: the player chooses", {kNothing, kNothing, kNothing, kGame, kGame}, false,
       false, Located::kSeveral, -1},
      {"nothing anywhere", {kNothing, kStaleEntry, kNothing, kNothing, kNothing}, false, true,
       Located::kNone, -1},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string base = root_ / ("case" + std::to_string(index++));
    const ScopedEnvironment home("HOME", (base + "/home").c_str());
    const std::string prefixes[kPlaces] = {
        base + "/named", base + "/wineprefix", base + "/home/.wine",
        base + "/home/.local/share/Steam/steamapps/compatdata/311210/pfx",
        base + "/home/Games/xvt"};
    for (int place = 0; place < kPlaces; ++place) {
      if (c.holds[place] == kNothing) {
        MakePrefix(prefixes[place], SystemReg("win64", ""));
      } else {
        MakeGamePrefix(prefixes[place], c.holds[place] == kGame);
      }
    }
    const ScopedEnvironment winePrefix("WINEPREFIX",
                                       c.winePrefixSet ? prefixes[kWinePrefix].c_str() : nullptr);

    const registry::Location location = registry::LocateGame(c.named ? prefixes[kNamed] : "");
    EXPECT_EQ(location.outcome, c.outcome);
    if (c.winner >= 0) {
      EXPECT_EQ(location.game.folder, prefixes[c.winner] + "/drive_c/Games/XvT")
          << "expected the game of " << names[c.winner];
      EXPECT_EQ(location.game.windowsPath, "C:\\Games\\XvT");
    }
    if (c.outcome == Located::kSeveral) {
      ASSERT_EQ(location.candidates.size(), 2u);
      EXPECT_EQ(location.candidates[0].prefix, prefixes[kProton]);
      EXPECT_EQ(location.candidates[1].prefix, prefixes[kLutris]);
    }
    if (c.outcome == Located::kNone) {
      EXPECT_EQ(location.problem, registry::kNoGameFoundText);
    }
    if (c.outcome == Located::kNotInPrefix) {
      EXPECT_NE(location.problem.find(prefixes[kNamed]), std::string::npos) << location.problem;
    }
  }
}

// ---- kyrpatch without --game ---------------------------------------------------------------

using testing_support::Outcome;

class KyrpatchFindsTheGame : public WineTest {
 protected:
  void SetUp() override {
    char current[host::kMaxPath];
    ASSERT_GT(host::GetCurrentDirectoryA(host::kMaxPath, current), 0u);
    previousDirectory_ = current;
    MakeFolders(package_);
    testing_support::ZipBuilder(package_ + "/Kyr.jxf")
        .AddFile("Install.cfg", "copyfile ship1.dat \\Data\r\n")
        .AddFile("ship1.dat", "patched ship one")
        .Finish();
  }
  void TearDown() override { host::SetCurrentDirectoryA(previousDirectory_.c_str()); }

  // A Proton prefix as Steam makes it, in a library that Steam's library list names.
  std::string MakeProtonGame(const std::string& library, const char* app) {
    const std::string list = home_ + "/.local/share/Steam/steamapps/libraryfolders.vdf";
    const std::string before = Exists(list) ? ReadText(list) : "\"libraryfolders\"\n{\n}\n";
    WriteFile(list, before.substr(0, before.rfind('}')) + "\t\"" + app + "\"\n\t{\n\t\t\"path\"\t\t\"" +
                        library + "\"\n\t}\n}\n");
    return MakeGamePrefix(library + "/steamapps/compatdata/" + app + "/pfx");
  }

  Outcome Run(const std::vector<std::string>& args) {
    return testing_support::RunKyrpatch(package_, args, previousDirectory_);
  }

  std::string package_ = root_ / "patch folder";
  std::string previousDirectory_;
};

TEST_F(KyrpatchFindsTheGame, InstallWithoutGameFolderPatchesTheGameInAProtonPrefix) {
  const std::string game = MakeProtonGame(root_ / "SteamLibrary", "311210");
  const auto before = Snapshot(game);

  const Outcome install = Run({"install"});
  ASSERT_EQ(install.code, 0) << install.err;
  EXPECT_EQ(install.out, "Game folder: " + game + "\n    C:\\Games\\XvT in the Wine prefix " +
                             root_ / "SteamLibrary/steamapps/compatdata/311210/pfx" +
                             " (Steam (Proton), app 311210)\nPatch Installed!\n");
  EXPECT_EQ(ReadText(game + "/Data/ship1.dat"), "patched ship one");
  EXPECT_NE(Run({"status"}).out.find("Installed into: " + game), std::string::npos);

  const Outcome uninstall = Run({"uninstall"});
  ASSERT_EQ(uninstall.code, 0) << uninstall.err;
  EXPECT_EQ(Snapshot(game), before) << "the player's original ship file must be back";
}

TEST_F(KyrpatchFindsTheGame, WhatTheSearchFindsDecidesTheOutcome) {
  const std::string emptyPrefix = root_ / "empty prefix";
  MakePrefix(emptyPrefix, SystemReg("win64", ""));
  const struct {
    const char* name;
    int games;  // Proton prefixes holding the game
    std::vector<std::string> args;
    int code;
    std::vector<std::string> saysOut;
    std::vector<std::string> saysErr;
  } cases[] = {
      {"find-game lists the one copy", 1, {"find-game"}, 0,
       {"/compatdata/311210/pfx/drive_c/Games/XvT\n    C:\\Games\\XvT in the Wine prefix "}, {}},
      {"find-game lists every copy", 2, {"find-game"}, 0,
       {"/compatdata/311210/pfx/drive_c/Games/XvT\n", "/compatdata/311211/pfx/drive_c/Games/XvT\n",
        "(Steam (Proton), app 311211)\n"},
       {}},
      {"find-game without a copy", 0, {"find-game"}, 1, {}, {"no installed", "--game DIR"}},
      {"install with several copies asks for --game", 2, {"install"}, 2, {},
       {"several copies", "/compatdata/311210/pfx/drive_c/Games/XvT",
        "/compatdata/311211/pfx/drive_c/Games/XvT", "--game DIR"}},
      {"install without a copy", 0, {"install"}, 1, {}, {"no installed", "--game DIR"}},
      {"install in a named prefix without the game", 1, {"install", "--prefix", emptyPrefix}, 1,
       {}, {"does not hold the game", "--game DIR"}},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string home = root_ / ("home" + std::to_string(index));
    const ScopedEnvironment homeVariable("HOME", home.c_str());
    home_ = home;
    for (int game = 0; game < c.games; ++game) {
      const std::string app = std::to_string(311210 + game);
      MakeProtonGame(root_ / ("library" + std::to_string(index) + "-" + app), app.c_str());
    }
    const auto before = Snapshot(root_.path());

    const Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.code, c.code) << outcome.err;
    for (const std::string& text : c.saysOut) {
      EXPECT_NE(outcome.out.find(text), std::string::npos) << outcome.out;
    }
    for (const std::string& text : c.saysErr) {
      EXPECT_NE(outcome.err.find(text), std::string::npos) << outcome.err;
    }
    if (c.code != 0) {
      EXPECT_EQ(outcome.out, "");
      EXPECT_EQ(Snapshot(root_.path()), before) << "nothing may change without a game folder";
    }
    ++index;
  }
}

}  // namespace

#else  // The Windows program reads the system's registry (under Wine, the test prefix's).

#include <windows.h>

namespace {

using registry::Located;

constexpr char kLucasArts[] = "LucasArts Entertainment Company";

class WindowsRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, registry::kGameKey, 0, KEY_READ | view, &key) ==
          ERROR_SUCCESS) {
        RegCloseKey(key);
        GTEST_SKIP() << "the game's registry key exists here; it is not touched by tests";
      }
    }
    ownsKey_ = true;
  }
  void TearDown() override {
    if (ownsKey_) RemoveKey();
  }

  static void RemoveKey() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY software = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) ==
          ERROR_SUCCESS) {
        RegDeleteTreeA(software, kLucasArts);
        RegCloseKey(software);
      }
    }
  }

  static void SetValue(REGSAM view, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, registry::kGameKey, 0, nullptr, 0,
                              KEY_SET_VALUE | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
    EXPECT_EQ(RegSetValueExA(key, registry::kInstallPathValue, 0, type,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + (text ? 1 : 0))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  bool ownsKey_ = false;
};

TEST_F(WindowsRegistryTest, InstallPathIsReadFromTheThirtyTwoBitViewAsText) {
  char windows[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("SystemRoot", windows, MAX_PATH), 0u);
  const std::string long259 = "D:\\" + std::string(256, 'x');
  const struct {
    const char* name;
    REGSAM view;
    DWORD type;
    std::string data;
    std::optional<std::string> expected;
  } cases[] = {
      {"text in the 32-bit view", KEY_WOW64_32KEY, REG_SZ, "C:\\Games\\XvT", "C:\\Games\\XvT"},
      {"expandable text", KEY_WOW64_32KEY, REG_EXPAND_SZ, "%SystemRoot%\\XvT",
       std::string(windows) + "\\XvT"},
      {"259 characters", KEY_WOW64_32KEY, REG_SZ, long259, long259},
      {"260 characters", KEY_WOW64_32KEY, REG_SZ, long259 + "y", std::nullopt},
      {"no text", KEY_WOW64_32KEY, REG_DWORD, std::string(4, '\x01'), std::nullopt},
      {"empty text", KEY_WOW64_32KEY, REG_SZ, "", std::nullopt},
      {"only in the 64-bit view", KEY_WOW64_64KEY, REG_SZ, "C:\\Games\\XvT", std::nullopt},
  };
  EXPECT_EQ(registry::ReadInstallPath(), std::nullopt) << "no key at all";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetValue(c.view, c.type, c.data);
    EXPECT_EQ(registry::ReadInstallPath(), c.expected);
    RemoveKey();
  }
}

TEST_F(WindowsRegistryTest, TheRegistrysFolderIsTheGameWhenItExists) {
  const testing_support::TempDir game;
  std::string folder = game.path();
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  SetValue(KEY_WOW64_32KEY, REG_SZ, folder);
  registry::Location location = registry::LocateGame();
  EXPECT_EQ(location.outcome, Located::kFound);
  EXPECT_EQ(location.game.folder, folder);
  EXPECT_EQ(registry::FindGames().size(), 1u);

  SetValue(KEY_WOW64_32KEY, REG_SZ, folder + "\\gone");
  location = registry::LocateGame();
  EXPECT_EQ(location.outcome, Located::kNone);
  EXPECT_NE(location.problem.find("does not exist"), std::string::npos) << location.problem;
  EXPECT_TRUE(registry::FindGames().empty());
}

}  // namespace

#endif  // _WIN32
