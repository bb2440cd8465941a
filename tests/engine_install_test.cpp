// Running the install script against a game folder: the log it writes, the files it saves
// and replaces, what it refuses before changing anything, and how it puts everything back
// when the run fails half-way.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/Host.h"
#include "platform/Seam.h"
#include "tests/engine_test_support.h"

namespace engine_testing {
namespace {

namespace fs = std::filesystem;

const std::string kFlagText = "This is a flag, do not delete.";

// ---- The documented example, with its exact paths --------------------------------------

// Package folder D:\Patches\Ships and game folder C:\Games\Flight, as relative folders of a
// fresh current directory (on Linux "D:" is a plain folder name).
class WorkedExample : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows "D:" is a drive, not a folder of the temporary folder.
    if (host::kIsWindows) GTEST_SKIP() << "the exact paths need a POSIX host";
    host::seam::Reset();
    previous_ = fs::current_path();
    fs::current_path(temp_.path());
    MakeFolders("D:/Patches/Ships/QUARN Backup");
    MakeFolders("C:/Games/Flight/Data/Art");
    MakeFolders("C:/Games/Flight/JXPatch");
    WriteFile("C:/Games/Flight/Data/ship1.dat", "original ship1");
    WriteFile("C:/Games/Flight/Data/ship2.dat", "original ship2");
    WriteFile("C:/Games/Flight/Data/Art/hud2.dat", "original hud2");
  }
  void TearDown() override {
    if (!previous_.empty()) fs::current_path(previous_);
    host::seam::Reset();
  }

  int Install(const std::string& script, engine::Report* report) {
    engine::StagedSet staged;
    auto stage = [&](const std::string& name, const Bytes& content) {
      WriteFile("D:/Patches/Ships/Temp/" + name, content);
      staged.files.push_back("D:\\Patches\\Ships\\Temp\\" + name);
    };
    stage("Install.cfg", ToBytes(script));
    stage("ship1.dat", ToBytes("new ship1"));
    stage("hud2.dat", ToBytes("new hud2"));
    stage("ships.pat", MakeBytePatch({{0, {'P'}}}));
    staged.folders.push_back("D:\\Patches\\Ships\\Temp");
    return engine::RunInstallScript("D:\\Patches\\Ships", "C:\\Games\\Flight", staged, report);
  }

  TempDir temp_;
  fs::path previous_;
};

TEST_F(WorkedExample, LogHoldsFiveLinesIn165Bytes) {
  engine::Report report;
  ASSERT_EQ(Install("copyfile ship1.dat \\Data\r\ncopyfile hud2.dat \\Data\\Art\r\n", &report), 0)
      << Describe(report);
  const std::string expected =
      "C:\\Games\\Flight\r\n"
      "D:\\Patches\\Ships\\QUARN Backup\\ship1.dat\r\n"
      "C:\\Games\\Flight\\Data\\ship1.dat\r\n"
      "D:\\Patches\\Ships\\QUARN Backup\\hud2.dat\r\n"
      "C:\\Games\\Flight\\Data\\Art\\hud2.dat\r\n";
  EXPECT_EQ(expected.size(), 165u);
  EXPECT_EQ(ReadText("D:/Patches/Ships/QUARN Backup/Uninstall.cfg"), expected);
  EXPECT_EQ(ReadText("D:/Patches/Ships/QUARN Backup/ship1.dat"), "original ship1");
  EXPECT_EQ(ReadText("D:/Patches/Ships/QUARN Backup/hud2.dat"), "original hud2");
  EXPECT_EQ(ReadText("C:/Games/Flight/Data/ship1.dat"), "new ship1");
  EXPECT_EQ(ReadText("C:/Games/Flight/Data/Art/hud2.dat"), "new hud2");
  EXPECT_EQ(ReadText("C:/Games/Flight/JXPatch/Back.JX"), kFlagText);
  EXPECT_FALSE(Exists("D:/Patches/Ships/Temp"));
}

TEST_F(WorkedExample, PatchedFileIsLoggedBetweenTheCopies) {
  engine::Report report;
  ASSERT_EQ(Install("copyfile ship1.dat \\Data\r\npatchfile ships.pat Data\\ship2.dat\r\n"
                    "copyfile hud2.dat \\Data\\Art\r\n",
                    &report),
            0)
      << Describe(report);
  EXPECT_EQ(ReadText("D:/Patches/Ships/QUARN Backup/Uninstall.cfg"),
            "C:\\Games\\Flight\r\n"
            "D:\\Patches\\Ships\\QUARN Backup\\ship1.dat\r\n"
            "C:\\Games\\Flight\\Data\\ship1.dat\r\n"
            "D:\\Patches\\Ships\\QUARN Backup\\ship2.dat\r\n"
            "C:\\Games\\Flight\\Data\\ship2.dat\r\n"
            "D:\\Patches\\Ships\\QUARN Backup\\hud2.dat\r\n"
            "C:\\Games\\Flight\\Data\\Art\\hud2.dat\r\n");
  EXPECT_EQ(ReadText("D:/Patches/Ships/QUARN Backup/ship2.dat"), "original ship2");
  EXPECT_EQ(ReadText("C:/Games/Flight/Data/ship2.dat"), "Priginal ship2");
}

TEST_F(WorkedExample, LinuxUninstallRefusesTheWindowsLog) {
  if (host::kIsWindows) GTEST_SKIP() << "the Windows program replays its own log";
  ASSERT_EQ(Install("copyfile ship1.dat \\Data\r\n", nullptr), 0);
  const Tree before = Snapshot(".");
  engine::Report report;
  EXPECT_NE(engine::RunUninstall("D:\\Patches\\Ships", &report), 0);
  EXPECT_TRUE(Mentions(report, "Windows")) << Describe(report);
  EXPECT_EQ(Snapshot("."), before) << "a refused log changed files";
}

// ---- Ordinary runs ----------------------------------------------------------------------

class InstallTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    WriteFile(Game("Data/ship1.dat"), "original ship1");
    WriteFile(Game("Data/ship2.dat"), "original ship2 bytes");
    WriteFile(Game("Data/Art/hud2.dat"), "original hud2");
    AddToPackage("ship1.dat", "new ship1");
    AddToPackage("hud2.dat", "new hud2");
    AddToPackage("new3.dat", "new file 3");
    AddToPackage("ships.pat", MakeBytePatch({{0, {'P', 'A'}}, {30, {'!'}}}));
  }
};

TEST_F(InstallTest, ScriptWithoutCommandsWritesFlagAndGameFolderLine) {
  for (const std::string script : {"", " \r\n\t \r\n"}) {
    SetScript(script);
    engine::Report report;
    EXPECT_EQ(Install(&report), 0) << Describe(report);
    EXPECT_EQ(LogLines(), std::vector<std::string>{game});
    EXPECT_EQ(ReadText(flagPath), kFlagText);
    EXPECT_FALSE(Exists(staging));
  }
}

TEST_F(InstallTest, FlagFileIsRewrittenToExactly30Bytes) {
  WriteFile(flagPath, "something much longer than the flag text itself, left from before");
  SetScript("");
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(ReadText(flagPath), kFlagText);
}

TEST_F(InstallTest, MissingFlagFolderIsOnlyAWarningAndNotCreated) {
  fs::remove_all(game + "/JXPatch");
  SetScript("copyfile ship1.dat \\Data");
  engine::Report report;
  EXPECT_EQ(Install(&report), 0) << Describe(report);
  EXPECT_TRUE(report.HasWarnings());
  EXPECT_TRUE(Mentions(report, "Back.JX")) << Describe(report);
  EXPECT_FALSE(Exists(game + "/JXPatch"));
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "new ship1");
}

TEST_F(InstallTest, CopyAndPatchSaveOriginalsAndLogPairsInScriptOrder) {
  SetScript("copyfile ship1.dat \\Data\npatchfile ships.pat Data\\ship2.dat\n"
            "copyfile new3.dat \\Data\ncopyfile hud2.dat \\Data\\Art\n");
  engine::Report report;
  ASSERT_EQ(Install(&report), 0) << Describe(report);
  EXPECT_FALSE(report.HasWarnings()) << Describe(report);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            game,
                            LoggedBackup("ship1.dat"), LoggedGame("\\Data", "ship1.dat"),
                            LoggedBackup("ship2.dat"), game + "\\Data\\ship2.dat",
                            LoggedBackup("new3.dat"), LoggedGame("\\Data", "new3.dat"),
                            LoggedBackup("hud2.dat"), LoggedGame("\\Data\\Art", "hud2.dat")}));
  EXPECT_EQ(ReadText(backup + "/ship1.dat"), "original ship1");
  EXPECT_EQ(ReadText(backup + "/ship2.dat"), "original ship2 bytes");
  EXPECT_EQ(ReadText(backup + "/hud2.dat"), "original hud2");
  EXPECT_FALSE(Exists(backup + "/new3.dat")) << "a new game file has no original to save";
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "new ship1");
  EXPECT_EQ(ReadText(Game("Data/new3.dat")), "new file 3");
  EXPECT_EQ(ReadText(Game("Data/ship2.dat")), std::string("PAiginal ship2 bytes") +
                                                  std::string(10, '\0') + "!");
}

TEST_F(InstallTest, ThirdTokenWithoutSeparatorRunsIntoTheFolderName) {
  MakeFolders(game + "data");
  SetScript("copyfile new3.dat data");
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(ReadText(game + "data/new3.dat"), "new file 3");
  EXPECT_EQ(LogLines().at(2), game + "data\\new3.dat");
}

TEST_F(InstallTest, UnknownCommandsAndACutShortEndAreWarnings) {
  SetScript("remove ship1.dat \\Data\ncopyfile hud2.dat \\Data\\Art\ncopyfile new3.dat");
  engine::Report report;
  EXPECT_EQ(Install(&report), 0) << Describe(report);
  EXPECT_EQ(report.Problems().size(), 2u) << Describe(report);
  EXPECT_TRUE(report.Succeeded());
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "original ship1");
  EXPECT_EQ(ReadText(Game("Data/Art/hud2.dat")), "new hud2");
  EXPECT_FALSE(Exists(Game("Data/new3.dat")));
}

// The same game file named twice (in another case the second time): its original is saved
// once, before the first change, and listed once.
TEST_F(InstallTest, FileNamedTwiceKeepsItsTrueOriginal) {
  AddToPackage("p.pat", MakeBytePatch({{0, {'N', 'E', 'W'}}}));
  SetScript("copyfile ship1.dat \\Data\npatchfile p.pat DATA\\SHIP1.DAT\n");
  engine::Report report;
  ASSERT_EQ(Install(&report), 0) << Describe(report);
  EXPECT_EQ(LogLines().size(), 3u);
  EXPECT_EQ(ReadText(backup + "/ship1.dat"), "original ship1");
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "NEW ship1");
}

// A second install before an uninstall keeps the first one's pairs and saved copies, so
// that one uninstall brings back the true originals.
TEST_F(InstallTest, SecondInstallKeepsTheEarlierPairsAndOriginals) {
  SetScript("copyfile ship1.dat \\Data\ncopyfile hud2.dat \\Data\\Art\n");
  ASSERT_EQ(Install(), 0);
  AddToPackage("ship1.dat", "newer ship1");
  SetScript("copyfile SHIP1.DAT \\data\ncopyfile new3.dat \\Data\n");
  engine::Report report;
  ASSERT_EQ(Install(&report), 0) << Describe(report);

  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            game,
                            LoggedBackup("ship1.dat"), LoggedGame("\\Data", "ship1.dat"),
                            LoggedBackup("hud2.dat"), LoggedGame("\\Data\\Art", "hud2.dat"),
                            LoggedBackup("new3.dat"), LoggedGame("\\Data", "new3.dat")}));
  EXPECT_EQ(ReadText(backup + "/ship1.dat"), "original ship1")
      << "the second install overwrote the saved original with the first one's file";
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "newer ship1");

  ASSERT_EQ(Uninstall(&report), 0) << Describe(report);
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "original ship1");
  EXPECT_EQ(ReadText(Game("Data/Art/hud2.dat")), "original hud2");
}

TEST_F(InstallTest, PackageSubfolderFileIsSavedInABackupSubfolder) {
  MakeFolders(game + "/Data/sub");
  WriteFile(Game("Data/sub/x.dat"), "original x");
  AddToPackage("sub/x.dat", "new x");
  SetScript("copyfile sub\\x.dat \\Data");
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(ReadText(backup + "/sub/x.dat"), "original x");
  EXPECT_EQ(ReadText(Game("Data/sub/x.dat")), "new x");
  EXPECT_EQ(LogLines().at(1), LoggedBackup("sub\\x.dat"));

  ASSERT_EQ(Uninstall(), 0);
  EXPECT_EQ(ReadText(Game("Data/sub/x.dat")), "original x");
  EXPECT_FALSE(Exists(backup)) << "the emptied backup subfolder and folder must go";
}

TEST_F(InstallTest, NamesInAnotherCaseReachTheSameFiles) {
  AddToPackage("Ship1.Dat", "new ship1");
  packageFiles.erase("ship1.dat");
  SetScript("copyfile SHIP1.DAT \\DATA");
  engine::Report report;
  ASSERT_EQ(Install(&report), 0) << Describe(report);
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "new ship1");
  int dataFolders = 0;
  for (const auto& entry : fs::directory_iterator(game)) {
    dataFolders += host::lstrcmpiA(entry.path().filename().string().c_str(), "data") == 0;
  }
  EXPECT_EQ(dataFolders, 1) << "a second folder was made beside Data";
  EXPECT_EQ(ReadText(backup + "/SHIP1.DAT"), "original ship1");
}

// ---- The staging folder ------------------------------------------------------------------

TEST_F(InstallTest, CleanUpRemovesExactlyThePackage) {
  AddToPackage("extra/deeper/readme.txt", "package text");
  SetScript("");
  WriteFile(staging + "/mine.txt", "not the package's");
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(Snapshot(staging), (Tree{{"mine.txt", ToBytes("not the package's")}}));
}

TEST_F(InstallTest, CleanUpRemovesTheStagingFolderWithItsSubfolders) {
  AddToPackage("extra/deeper/readme.txt", "package text");
  SetScript("");
  ASSERT_EQ(Install(), 0);
  EXPECT_FALSE(Exists(staging));
}

TEST_F(InstallTest, StrayTemporaryFilesInTouchedFoldersAreRemoved) {
  WriteFile(Game("Data/ship1.dat.kyr~"), "half a copy");
  WriteFile(backup + "/hud2.dat.kyr~", "half a copy");
  SetScript("copyfile ship1.dat \\Data");
  ASSERT_EQ(Install(), 0);
  EXPECT_FALSE(Exists(Game("Data/ship1.dat.kyr~")));
  EXPECT_FALSE(Exists(backup + "/hud2.dat.kyr~"));
}

TEST_F(InstallTest, MissingScriptFailsBeforeAnythingChanges) {
  SetScript("copyfile ship1.dat \\Data");
  engine::StagedSet staged = Stage();
  // A script left in the staging folder by someone else is not this package's.
  std::erase_if(staged.files, [](const std::string& file) {
    return file.find("Install.cfg") != std::string::npos;
  });
  fs::remove(staging + "/Install.cfg");
  const auto before = World();
  engine::Report report;
  EXPECT_NE(engine::RunInstallScript(package.c_str(), game.c_str(), staged, &report), 0);
  EXPECT_TRUE(Mentions(report, "Install.cfg")) << Describe(report);
  EXPECT_EQ(World(), before);
}

// ---- Refused before anything changes -----------------------------------------------------

struct RefusalCase {
  const char* name;
  std::string command;  // follows a good command that would otherwise change the game
  std::string problem;  // a fragment of the report
  std::function<void(Sandbox&)> prepare = nullptr;
  bool needsCaseSensitiveNames = false;  // two files whose names differ only in case
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class InstallRefusal : public InstallTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(InstallRefusal, LeavesEverythingAsItWas) {
  const RefusalCase& c = GetParam();
  if (c.needsCaseSensitiveNames && host::kIsWindows) GTEST_SKIP() << "one file on Windows";
  if (c.prepare) c.prepare(*this);
  SetScript("copyfile ship1.dat \\Data\n" + c.command + "\n");
  const auto before = World();
  engine::Report report;
  EXPECT_NE(Install(&report), 0);
  EXPECT_FALSE(report.Succeeded());
  EXPECT_TRUE(Mentions(report, c.problem)) << Describe(report);
  EXPECT_EQ(World(), before) << "a refused install changed the game or backup folder";
}

const std::string kLongName(200, 'n');

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallRefusal,
    ::testing::Values(
        RefusalCase{"file_not_in_package", "copyfile absent.dat \\Data", "not part of the package"},
        RefusalCase{"game_subfolder_missing", "copyfile hud2.dat \\Nowhere", "does not exist"},
        RefusalCase{"patch_target_missing", "patchfile ships.pat Data\\none.dat",
                    "does not exist"},
        RefusalCase{"patch_cut_short", "patchfile bad.pat Data\\ship2.dat", "cut short",
                    [](Sandbox& s) { s.AddToPackage("bad.pat", MakeBytePatch({{0, {1}}}, 2)); }},
        RefusalCase{"patch_offset_beyond_2_GiB", "patchfile bad.pat Data\\ship2.dat", "2 GiB",
                    [](Sandbox& s) {
                      s.AddToPackage("bad.pat", MakeBytePatch({{0x80000000u, {1}}}));
                    }},
        RefusalCase{"path_too_long", "copyfile hud2.dat \\" + kLongName, "longer than"},
        RefusalCase{"saved_copy_claimed_twice", "copyfile ship1.dat \\Data\\Art",
                    "is needed for"},
        RefusalCase{"backup_path_holds_an_unrecorded_file", "copyfile hud2.dat \\Data\\Art",
                    "no install recorded",
                    [](Sandbox& s) { WriteFile(s.backup + "/hud2.dat", "someone's file"); }},
        RefusalCase{"saved_copy_would_overwrite_the_log", "copyfile Uninstall.cfg \\Data",
                    "overwrite the uninstall log",
                    [](Sandbox& s) { s.AddToPackage("Uninstall.cfg", "x"); }},
        RefusalCase{"game_file_read_only", "copyfile hud2.dat \\Data\\Art", "read-only",
                    [](Sandbox& s) {
                      testing_support::SetReadOnly(s.Game("Data/Art/hud2.dat"), true);
                    }},
        RefusalCase{"package_names_differ_only_in_case", "copyfile HUD2.DAT \\Data\\Art",
                    "differing only in case",
                    [](Sandbox& s) { s.AddToPackage("Hud2.dat", "other"); }},
        RefusalCase{"earlier_log_damaged", "copyfile hud2.dat \\Data\\Art", "earlier install",
                    [](Sandbox& s) {
                      WriteFile(s.logPath, s.game + "\r\nnot a path\r\nx\r\ny\r\n");
                    }},
        RefusalCase{"game_files_differ_only_in_case", "copyfile Hud2.dat \\Data\\Art",
                    "only in case",
                    [](Sandbox& s) {
                      s.AddToPackage("Hud2.dat", "new");
                      WriteFile(s.Game("Data/Art/HUD2.DAT"), "another hud2");
                    },
                    true},
        RefusalCase{"temporary_suffix", "copyfile x.kyr~ \\Data", "temporary",
                    [](Sandbox& s) { s.AddToPackage("x.kyr~", "x"); }},
        // Names that would reach outside their folder or that Windows would misread.
        RefusalCase{"second_token_climbs_out", "copyfile ..\\hud2.dat \\Data", "\"..\""},
        RefusalCase{"second_token_absolute", "copyfile \\hud2.dat \\Data", "separator"},
        RefusalCase{"second_token_with_drive", "copyfile C:hud2.dat \\Data", "drive"},
        RefusalCase{"copy_folder_climbs_out", "copyfile hud2.dat \\Data\\..\\..", "\"..\""},
        RefusalCase{"copy_folder_with_drive", "copyfile hud2.dat C:\\Data", "drive"},
        RefusalCase{"copy_folder_on_a_network", "copyfile hud2.dat \\\\server\\share", "network"},
        RefusalCase{"patch_target_absolute", "patchfile ships.pat \\Data\\ship2.dat", "separator"},
        RefusalCase{"patch_target_climbs_out", "patchfile ships.pat ..\\ship2.dat", "\"..\""},
        RefusalCase{"patch_target_with_drive", "patchfile ships.pat D:ship2.dat", "drive"},
        RefusalCase{"patch_file_climbs_out", "patchfile ..\\ships.pat Data\\ship2.dat", "\"..\""},
        RefusalCase{"device_name", "copyfile CON \\Data", "device"},
        RefusalCase{"device_name_with_extension", "copyfile aux.dat \\Data", "device"},
        RefusalCase{"trailing_dot", "copyfile hud2.dat. \\Data", "dot"},
        RefusalCase{"colon_inside", "copyfile hud2.dat:stream \\Data", "':'"},
        RefusalCase{"control_character", "copyfile hud\x01.dat \\Data", "control"},
        RefusalCase{"empty_component", "copyfile sub\\\\hud2.dat \\Data", "empty"}));

// Every durable write goes through a temporary name beside its destination, which must fit
// a path buffer too: the longest game file path is 259 - 5 characters.
TEST_F(InstallTest, GameFilePathMustLeaveRoomForTheTemporaryName) {
  for (const std::size_t length : {254u, 255u}) {
    const std::size_t fixed = game.size() + 2 + std::string("new3.dat").size();
    const std::string folder(length - fixed, 'f');
    MakeFolders(game + "/" + folder);
    SetScript("copyfile new3.dat \\" + folder);
    const auto before = World();
    engine::Report report;
    const int result = Install(&report);
    if (length == 254) {
      EXPECT_EQ(result, 0) << Describe(report);
      EXPECT_EQ(LogLines().at(2).size(), 254u);
    } else {
      EXPECT_NE(result, 0);
      EXPECT_TRUE(Mentions(report, "longer than")) << Describe(report);
      EXPECT_EQ(World(), before);
    }
  }
}

TEST_F(InstallTest, MissingGameFolderFailsBeforeAnythingChanges) {
  SetScript("copyfile ship1.dat \\Data");
  engine::StagedSet staged = Stage();
  engine::Report report;
  const std::string absent = game + "/../Nothing";
  EXPECT_NE(engine::RunInstallScript(package.c_str(), absent.c_str(), staged, &report), 0);
  EXPECT_TRUE(Mentions(report, "does not exist")) << Describe(report);
  EXPECT_FALSE(Exists(logPath));
}

// ---- A failure half-way: everything is put back -------------------------------------------

// A second install over an earlier one, touching each kind of file: a file the earlier
// install had saved, a file saved now, a new file, a file in a backup subfolder, a
// byte-patched file.
void PrepareSecondInstall(Sandbox& s) {
  WriteFile(s.Game("Data/ship1.dat"), "original ship1");
  WriteFile(s.Game("Data/ship2.dat"), "original ship2 bytes");
  WriteFile(s.Game("Data/Art/hud2.dat"), "original hud2");
  MakeFolders(s.game + "/Data/sub");
  WriteFile(s.Game("Data/sub/x.dat"), "original x");
  s.AddToPackage("ship1.dat", "first ship1");
  s.SetScript("copyfile ship1.dat \\Data");
  ASSERT_EQ(s.Install(), 0);
  s.packageFiles.clear();
  s.AddToPackage("ship1.dat", "second ship1");
  s.AddToPackage("hud2.dat", "second hud2");
  s.AddToPackage("new3.dat", "second new3");
  s.AddToPackage("sub/x.dat", "second x");
  s.AddToPackage("ships.pat", MakeBytePatch({{0, {'P'}}, {40, {'!'}}}));
  s.SetScript(
      "copyfile ship1.dat \\Data\ncopyfile hud2.dat \\Data\\Art\ncopyfile new3.dat \\Data\n"
      "copyfile sub\\x.dat \\Data\npatchfile ships.pat Data\\ship2.dat\n");
}

void ExpectSecondInstallDone(const Sandbox& s) {
  EXPECT_EQ(ReadText(s.Game("Data/ship1.dat")), "second ship1");
  EXPECT_EQ(ReadText(s.Game("Data/Art/hud2.dat")), "second hud2");
  EXPECT_EQ(ReadText(s.Game("Data/new3.dat")), "second new3");
  EXPECT_EQ(ReadText(s.Game("Data/sub/x.dat")), "second x");
  EXPECT_EQ(ReadFile(s.Game("Data/ship2.dat")).size(), 41u);
  EXPECT_EQ(s.LogLines().size(), 11u);
  EXPECT_EQ(ReadText(s.backup + "/ship1.dat"), "original ship1");
  EXPECT_EQ(ReadText(s.backup + "/hud2.dat"), "original hud2");
  EXPECT_EQ(ReadText(s.backup + "/sub/x.dat"), "original x");
  EXPECT_EQ(ReadText(s.backup + "/ship2.dat"), "original ship2 bytes");
}

bool HasTemporaryFile(const std::string& root) {
  for (const auto& [name, content] : Snapshot(root)) {
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".kyr~") == 0) return true;
  }
  return false;
}

TEST(InstallFailure, AnyFailingOperationLeavesEverythingAsBefore) {
  std::uint64_t operations = 0;
  {
    Sandbox s;
    PrepareSecondInstall(s);
    operations = CountOperations([&] { EXPECT_EQ(s.Install(), 0); });
  }
  ASSERT_GT(operations, 20u);
  int failed = 0;
  for (std::uint64_t k = 1; k <= operations; ++k) {
    Sandbox s;
    PrepareSecondInstall(s);
    const auto before = s.World();
    engine::Report report;
    host::seam::Reset();
    host::seam::Arm(host::seam::Action::kFail, k);
    const int result = s.Install(&report);
    host::seam::Reset();
    if (result != 0) {
      ++failed;
      EXPECT_EQ(s.World(), before) << "operation " << k << " failed, and the install did not "
                                   << "put everything back:\n" << Describe(report);
    } else {
      ExpectSecondInstallDone(s);
      EXPECT_FALSE(HasTemporaryFile(s.game)) << "operation " << k;
    }
  }
  EXPECT_GT(failed, static_cast<int>(operations / 2));
}

// When putting back fails too, the file keeps its pair and saved copy, so that Uninstall
// can finish the job once the player has removed the obstacle.
TEST(InstallFailure, FileThatCannotBePutBackStaysListedForUninstall) {
  auto prepare = [](Sandbox& s) {
    WriteFile(s.Game("Data/ship1.dat"), "original ship1");
    WriteFile(s.Game("Data/Art/hud2.dat"), "original hud2");
    s.AddToPackage("ship1.dat", "new ship1");
    s.AddToPackage("hud2.dat", "new hud2");
    s.SetScript("copyfile ship1.dat \\Data\ncopyfile hud2.dat \\Data\\Art\n");
    const engine::StagedSet staged = s.Stage();
    // A read-only package file makes a read-only game file, which nothing can copy over.
    testing_support::SetReadOnly(s.staging + "/ship1.dat", true);
    return staged;
  };
  std::uint64_t replaceHud2 = 0;
  {
    Sandbox s;
    const engine::StagedSet staged = prepare(s);
    host::seam::Reset();
    host::seam::SetRecording(true);
    engine::RunInstallScript(s.package.c_str(), s.game.c_str(), staged, nullptr);
    const auto& recorded = host::seam::Recorded();
    for (std::size_t i = 0; i < recorded.size() && replaceHud2 == 0; ++i) {
      // The rename that puts the new hud2.dat in place, after ship1.dat was replaced.
      if (recorded[i].rfind("MoveFileReplace ", 0) == 0 &&
          recorded[i].find("Art\\hud2.dat") != std::string::npos) {
        replaceHud2 = i + 1;
      }
    }
    host::seam::Reset();
  }
  ASSERT_NE(replaceHud2, 0u);

  Sandbox s;
  const engine::StagedSet staged = prepare(s);
  engine::Report report;
  host::seam::Arm(host::seam::Action::kFail, replaceHud2);
  EXPECT_NE(engine::RunInstallScript(s.package.c_str(), s.game.c_str(), staged, &report), 0);
  host::seam::Reset();
  EXPECT_TRUE(Mentions(report, "Uninstall can finish the job")) << Describe(report);
  EXPECT_EQ(ReadText(s.Game("Data/Art/hud2.dat")), "original hud2");
  EXPECT_FALSE(Exists(s.backup + "/hud2.dat"));
  EXPECT_EQ(ReadText(s.backup + "/ship1.dat"), "original ship1");
  EXPECT_EQ(s.LogLines(), (std::vector<std::string>{s.game, s.LoggedBackup("ship1.dat"),
                                                    s.LoggedGame("\\Data", "ship1.dat")}));

  testing_support::SetReadOnly(s.Game("Data/ship1.dat"), false);
  EXPECT_EQ(s.Uninstall(&report), 0) << Describe(report);
  EXPECT_EQ(ReadText(s.Game("Data/ship1.dat")), "original ship1");
}

// What a crash leaves must let Uninstall bring back every original: every pair reaches the
// disk before the copy it records, and no copy is ever half-written. The same holds when
// the player installs again after the crash and uninstalls only then.
TEST(InstallCrash, UninstallAfterACrashAnywhereRestoresTheOriginals) {
  // Each crash is a forked child; where tests cannot fork (Windows) the failure loop above
  // covers the same putting back.
  if (host::kIsWindows) GTEST_SKIP() << "needs fork()";
  auto prepare = [](Sandbox& s) {
    WriteFile(s.Game("Data/ship1.dat"), "original ship1");
    WriteFile(s.Game("Data/ship2.dat"), "original ship2 bytes");
    MakeFolders(s.game + "/Data/sub");
    WriteFile(s.Game("Data/sub/x.dat"), "original x");
    s.AddToPackage("ship1.dat", "new ship1");
    s.AddToPackage("new3.dat", "new3");
    s.AddToPackage("sub/x.dat", "new x");
    s.AddToPackage("ships.pat", MakeBytePatch({{0, {'P'}}, {40, {'!'}}}));
    s.SetScript("copyfile ship1.dat \\Data\ncopyfile new3.dat \\Data\n"
                "patchfile ships.pat Data\\ship2.dat\ncopyfile sub\\x.dat \\Data\n");
  };
  std::uint64_t operations = 0;
  {
    Sandbox s;
    prepare(s);
    operations = CountOperations([&] { EXPECT_EQ(s.Install(), 0); });
  }
  for (std::uint64_t k = 1; k <= operations; ++k) {
    for (const bool installAgain : {false, true}) {
      Sandbox s;
      prepare(s);
      EXPECT_EXIT(
          {
            host::seam::Reset();
            host::seam::Arm(host::seam::Action::kCrash, k);
            s.Install();
            std::_Exit(0);
          },
          ::testing::ExitedWithCode(host::seam::kCrashExitCode), "")
          << "operation " << k;
      host::seam::Reset();
      if (installAgain) {
        engine::Report report;
        EXPECT_EQ(s.Install(&report), 0) << "crash at " << k << "\n" << Describe(report);
      }
      s.Uninstall();
      const std::string when =
          "crash at " + std::to_string(k) + (installAgain ? ", installed again" : "");
      EXPECT_EQ(ReadText(s.Game("Data/ship1.dat")), "original ship1") << when;
      EXPECT_EQ(ReadText(s.Game("Data/ship2.dat")), "original ship2 bytes") << when;
      EXPECT_EQ(ReadText(s.Game("Data/sub/x.dat")), "original x") << when;
      if (Exists(s.Game("Data/new3.dat"))) {
        EXPECT_EQ(ReadText(s.Game("Data/new3.dat")), "new3") << when;
      }
      EXPECT_FALSE(HasTemporaryFile(s.game)) << when;
    }
  }
}

}  // namespace
}  // namespace engine_testing
