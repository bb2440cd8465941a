// Replaying the uninstall log: every saved copy goes back over its game file, and nothing is
// deleted that is still the only copy of an original.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
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

// The whole road: install a package that replaces, adds, patches and saves into a backup
// subfolder, then uninstall. Only the added file stays (nothing recorded its absence).
TEST_F(EngineTest, InstallThenUninstallGivesTheGameBack) {
  WriteFile(Game("Data/ship1.dat"), "original ship1");
  WriteFile(Game("Data/ship2.dat"), "original ship2 bytes");
  WriteFile(Game("Data/Art/hud2.dat"), "original hud2");
  WriteFile(Game("Data/sub/x.dat"), "original x");
  AddToPackage("ship1.dat", "new ship1");
  AddToPackage("hud2.dat", "new hud2");
  AddToPackage("new3.dat", "new3");
  AddToPackage("sub/x.dat", "new x");
  AddToPackage("ships.pat", MakeBytePatch({{0, {'P'}}, {40, {'!'}}}));
  SetScript("copyfile ship1.dat \\Data\npatchfile ships.pat Data\\ship2.dat\n"
            "copyfile hud2.dat \\Data\\Art\ncopyfile new3.dat \\Data\n"
            "copyfile sub\\x.dat \\Data\n");
  Tree expected = Snapshot(game);
  expected.emplace_back("Data/new3.dat", ToBytes("new3"));
  std::sort(expected.begin(), expected.end());

  engine::Report report;
  ASSERT_EQ(Install(&report), 0) << Describe(report);
  ASSERT_EQ(Uninstall(&report), 0) << Describe(report);
  EXPECT_TRUE(report.Problems().empty()) << Describe(report);
  EXPECT_EQ(Snapshot(game), expected);
  EXPECT_FALSE(Exists(backup));
  EXPECT_FALSE(Exists(staging));
}

class UninstallTest : public EngineTest {
 protected:
  // The state an install of ship1.dat (to \Data) and hud2.dat (to \Data\Art) leaves.
  void SetUp() override {
    EngineTest::SetUp();
    WriteFile(Game("Data/ship1.dat"), "new ship1");
    WriteFile(Game("Data/Art/hud2.dat"), "new hud2");
    WriteFile(backup + "/ship1.dat", "original ship1");
    WriteFile(backup + "/hud2.dat", "original hud2");
    WriteFile(flagPath, kFlagText);
    WriteFile(logPath, LogText("\r\n"));
  }

  std::string LogText(const std::string& end, const std::string& gameLine = "") const {
    return (gameLine.empty() ? game : gameLine) + end + LoggedBackup("ship1.dat") + end +
           LoggedGame("\\Data", "ship1.dat") + end + LoggedBackup("hud2.dat") + end +
           LoggedGame("\\Data\\Art", "hud2.dat") + end;
  }

  void ExpectAllRestored() const {
    EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "original ship1");
    EXPECT_EQ(ReadText(Game("Data/Art/hud2.dat")), "original hud2");
    EXPECT_FALSE(Exists(flagPath));
    EXPECT_FALSE(Exists(backup)) << "the backup folder should be gone with the log and copies";
  }
};

TEST_F(UninstallTest, RestoresEveryPairAndRemovesFlagLogAndBackupFolder) {
  for (const std::string end : {"\r\n", "\n", ""}) {
    SetUp();
    std::string text = LogText(end.empty() ? "\r\n" : end);
    if (end.empty()) text.resize(text.size() - 2);  // no line end after the last line
    WriteFile(logPath, text);
    engine::Report report;
    EXPECT_EQ(Uninstall(&report), 0) << Describe(report);
    EXPECT_FALSE(report.HasWarnings()) << Describe(report);
    ExpectAllRestored();
    EXPECT_TRUE(IsFolder(game + "/JXPatch")) << "the JXPatch folder is not the uninstall's";
  }
}

TEST_F(UninstallTest, GameFolderLineAloneRemovesFlagLogAndFolder) {
  fs::remove(backup + "/ship1.dat");
  fs::remove(backup + "/hud2.dat");
  WriteFile(logPath, game + "\r\n");
  EXPECT_EQ(Uninstall(), 0);
  EXPECT_FALSE(Exists(flagPath));
  EXPECT_FALSE(Exists(backup));
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "new ship1");
}

// An empty game folder line would make the flag path "\JXPatch\Back.JX" at the root of the
// drive: the flag step is skipped.
TEST_F(UninstallTest, EmptyLogTouchesNoFlagFile) {
  fs::remove(backup + "/ship1.dat");
  fs::remove(backup + "/hud2.dat");
  WriteFile(logPath, "");
  host::seam::SetRecording(true);
  engine::Report report;
  EXPECT_EQ(Uninstall(&report), 0) << Describe(report);
  for (const std::string& operation : host::seam::Recorded()) {
    EXPECT_EQ(operation.find("Back.JX"), std::string::npos) << operation;
  }
  EXPECT_FALSE(Exists(backup));
  EXPECT_TRUE(Exists(flagPath)) << "no flag file was named, none may go";
}

TEST_F(UninstallTest, GameFileDeletedByThePlayerComesBack) {
  fs::remove(Game("Data/ship1.dat"));
  fs::remove(flagPath);  // the flag file gone too changes nothing
  EXPECT_EQ(Uninstall(), 0);
  ExpectAllRestored();
}

// A pair without a saved copy records a file that the install added: it stays, and that
// is no failure. The same holds for pairs an interrupted uninstall already restored.
TEST_F(UninstallTest, PairWithoutSavedCopyIsNotAFailure) {
  fs::remove(backup + "/ship1.dat");
  engine::Report report;
  EXPECT_EQ(Uninstall(&report), 0) << Describe(report);
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "new ship1");
  EXPECT_EQ(ReadText(Game("Data/Art/hud2.dat")), "original hud2");
  EXPECT_FALSE(Exists(backup));
}

TEST_F(UninstallTest, UnrecordedFileInBackupFolderStaysWithTheFolder) {
  WriteFile(backup + "/notes.txt", "player's notes");
  engine::Report report;
  EXPECT_EQ(Uninstall(&report), 0) << Describe(report);
  EXPECT_TRUE(report.HasWarnings());
  EXPECT_EQ(Snapshot(backup), (Tree{{"notes.txt", ToBytes("player's notes")}}));
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "original ship1");
}

TEST_F(UninstallTest, ReadOnlySavedCopyIsDeletedOnceRestored) {
  testing_support::SetReadOnly(backup + "/ship1.dat", true);
  EXPECT_EQ(Uninstall(), 0);
  ExpectAllRestored();
}

// A copy back that fails keeps everything needed to try again: the saved copy, its pair in
// the log, the flag file and the backup folder.
TEST_F(UninstallTest, FileThatCannotBeRestoredKeepsItsCopyAndPair) {
  testing_support::SetReadOnly(Game("Data/Art/hud2.dat"), true);
  engine::Report report;
  EXPECT_NE(Uninstall(&report), 0);
  EXPECT_TRUE(Mentions(report, "run again")) << Describe(report);
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "original ship1");
  EXPECT_FALSE(Exists(backup + "/ship1.dat"));
  EXPECT_EQ(ReadText(backup + "/hud2.dat"), "original hud2");
  EXPECT_EQ(LogLines(), (std::vector<std::string>{game, LoggedBackup("hud2.dat"),
                                                  LoggedGame("\\Data\\Art", "hud2.dat")}));
  EXPECT_EQ(ReadText(flagPath), kFlagText);

  testing_support::SetReadOnly(Game("Data/Art/hud2.dat"), false);
  EXPECT_EQ(Uninstall(&report), 0) << Describe(report);
  ExpectAllRestored();
}

TEST_F(UninstallTest, GameFolderGoneKeepsTheSavedCopy) {
  fs::remove_all(game + "/Data/Art");
  EXPECT_NE(Uninstall(), 0);
  EXPECT_EQ(ReadText(backup + "/hud2.dat"), "original hud2");
  EXPECT_EQ(LogLines().size(), 3u);
}

// An install interrupted while writing its last pair leaves a first line without its
// second: that pair is ignored and whatever stands at its saved copy's place stays.
TEST_F(UninstallTest, IncompleteLastPairIsIgnoredAndItsCopyKept) {
  WriteFile(backup + "/new3.dat", "maybe a saved copy");
  WriteFile(logPath, LogText("\r\n") + LoggedBackup("new3.dat") + "\r\n" + game + "\\Da");
  engine::Report report;
  EXPECT_EQ(Uninstall(&report), 0) << Describe(report);
  EXPECT_EQ(ReadText(Game("Data/ship1.dat")), "original ship1");
  EXPECT_EQ(ReadText(backup + "/new3.dat"), "maybe a saved copy");
}

TEST_F(UninstallTest, NoLogMeansNoInstallToUndo) {
  fs::remove(logPath);
  const auto before = World();
  engine::Report report;
  EXPECT_NE(Uninstall(&report), 0);
  EXPECT_TRUE(Mentions(report, "no install to undo")) << Describe(report);
  EXPECT_EQ(World(), before);
}

struct DamagedLog {
  const char* name;
  std::string tail;     // follows the intact first pair; $B: the backup folder
  std::string problem;  // a fragment of the report
};

void PrintTo(const DamagedLog& c, std::ostream* out) { *out << c.name; }

class UninstallDamagedLog : public UninstallTest,
                            public ::testing::WithParamInterface<DamagedLog> {};

// A damaged log restores nothing, not even its intact pairs: nothing is known about what
// the damage hides.
TEST_P(UninstallDamagedLog, ChangesNothing) {
  const DamagedLog& c = GetParam();
  std::string tail = c.tail;
  const std::string savedCopies = package + "\\QUARN Backup";
  for (std::size_t at = tail.find("$B"); at != std::string::npos; at = tail.find("$B", at)) {
    tail.replace(at, 2, savedCopies);
  }
  WriteFile(logPath, game + "\r\n" + LoggedBackup("ship1.dat") + "\r\n" +
                         LoggedGame("\\Data", "ship1.dat") + "\r\n" + tail);
  const auto before = World();
  engine::Report report;
  EXPECT_NE(Uninstall(&report), 0);
  EXPECT_TRUE(Mentions(report, c.problem)) << Describe(report);
  EXPECT_EQ(World(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UninstallDamagedLog,
    ::testing::Values(
        DamagedLog{"overlong_line", std::string(300, 'x') + "\r\n", "line 4"},
        DamagedLog{"saved_copy_outside_backup_folder",
                   "/elsewhere/hud2.dat\r\n/game/hud2.dat\r\n", "line 4"},
        DamagedLog{"pair_of_two_names",
                   "$B\\hud2.dat\r\n/game/other.dat\r\n$B\\x.dat\r\n/game/x.dat\r\n", "line 5"},
        DamagedLog{"drive_letters", "C:\\QUARN Backup\\hud2.dat\r\nC:\\Game\\hud2.dat\r\n",
                   "line 4"}));

// A crash anywhere in an uninstall leaves every original where the next uninstall finds it.
TEST(UninstallCrash, NextUninstallFinishesTheJob) {
  // Each crash is a forked child; where tests cannot fork (Windows) the failure loop below
  // covers the same ordering.
  if (host::kIsWindows) GTEST_SKIP() << "needs fork()";
  auto prepare = [](Sandbox& s) {
    WriteFile(s.Game("Data/ship1.dat"), "original ship1");
    WriteFile(s.Game("Data/Art/hud2.dat"), "original hud2");
    MakeFolders(s.game + "/Data/sub");
    WriteFile(s.Game("Data/sub/x.dat"), "original x");
    s.AddToPackage("ship1.dat", "new ship1");
    s.AddToPackage("hud2.dat", "new hud2");
    s.AddToPackage("sub/x.dat", "new x");
    s.SetScript("copyfile ship1.dat \\Data\ncopyfile hud2.dat \\Data\\Art\n"
                "copyfile sub\\x.dat \\Data\n");
    ASSERT_EQ(s.Install(), 0);
  };
  std::uint64_t operations = 0;
  {
    Sandbox s;
    prepare(s);
    operations = CountOperations([&] { EXPECT_EQ(s.Uninstall(), 0); });
  }
  for (std::uint64_t k = 1; k <= operations; ++k) {
    Sandbox s;
    prepare(s);
    EXPECT_EXIT(
        {
          host::seam::Reset();
          host::seam::Arm(host::seam::Action::kCrash, k);
          s.Uninstall();
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(host::seam::kCrashExitCode), "")
        << "operation " << k;
    host::seam::Reset();
    s.Uninstall();
    EXPECT_EQ(ReadText(s.Game("Data/ship1.dat")), "original ship1") << "crash at " << k;
    EXPECT_EQ(ReadText(s.Game("Data/Art/hud2.dat")), "original hud2") << "crash at " << k;
    EXPECT_EQ(ReadText(s.Game("Data/sub/x.dat")), "original x") << "crash at " << k;
  }
}

// A failing operation anywhere in an uninstall: no saved copy is lost, and an uninstall
// run again afterwards completes it.
TEST(UninstallFailure, RunningAgainAfterAnyFailureRestoresEverything) {
  auto prepare = [](Sandbox& s) {
    WriteFile(s.Game("Data/ship1.dat"), "original ship1");
    WriteFile(s.Game("Data/ship2.dat"), "original ship2");
    s.AddToPackage("ship1.dat", "new ship1");
    s.AddToPackage("new3.dat", "new3");
    s.AddToPackage("p.pat", MakeBytePatch({{0, {'P'}}}));
    s.SetScript("copyfile ship1.dat \\Data\ncopyfile new3.dat \\Data\n"
                "patchfile p.pat Data\\ship2.dat\n");
    ASSERT_EQ(s.Install(), 0);
  };
  std::uint64_t operations = 0;
  {
    Sandbox s;
    prepare(s);
    operations = CountOperations([&] { EXPECT_EQ(s.Uninstall(), 0); });
  }
  for (std::uint64_t k = 1; k <= operations; ++k) {
    Sandbox s;
    prepare(s);
    engine::Report report;
    host::seam::Reset();
    host::seam::Arm(host::seam::Action::kFail, k);
    const int result = s.Uninstall(&report);
    host::seam::Reset();
    if (result != 0) {
      EXPECT_TRUE(Exists(s.logPath)) << "a failed uninstall lost its log, operation " << k;
      s.Uninstall();
    }
    EXPECT_EQ(ReadText(s.Game("Data/ship1.dat")), "original ship1") << "operation " << k;
    EXPECT_EQ(ReadText(s.Game("Data/ship2.dat")), "original ship2") << "operation " << k;
    EXPECT_EQ(ReadText(s.Game("Data/new3.dat")), "new3") << "an added file stays";
  }
}

}  // namespace
}  // namespace engine_testing
