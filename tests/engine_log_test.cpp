// Reading the uninstall log back: line ends, lengths, an interrupted last pair, and the
// checks that keep a damaged log from driving an uninstall.
#include <string>

#include "engine/Engine.h"
#include "platform/Host.h"
#include "tests/engine_test_support.h"

namespace engine_testing {
namespace {

struct LogCase {
  const char* name;
  std::string text;  // $B: the backup folder as the install writes it; $G: the game folder
  engine::LogState state;
  std::size_t pairs;
  std::string problem;  // a fragment of the problem, for a malformed log
};

void PrintTo(const LogCase& c, std::ostream* out) { *out << c.name; }

std::string Expand(std::string text, const Sandbox& box) {
  const std::string backup = box.package + "\\QUARN Backup";
  for (std::size_t at = text.find("$B"); at != std::string::npos; at = text.find("$B", at)) {
    text.replace(at, 2, backup);
    at += backup.size();
  }
  for (std::size_t at = text.find("$G"); at != std::string::npos; at = text.find("$G", at)) {
    text.replace(at, 2, box.game);
    at += box.game.size();
  }
  return text;
}

class LogReading : public ::testing::TestWithParam<LogCase> {};

TEST_P(LogReading, ReadsWhatTheInstallWrote) {
  const LogCase& c = GetParam();
  Sandbox box;
  const std::string text = Expand(c.text, box);
  WriteFile(box.logPath, text);

  engine::UninstallLog log;
  std::string problem;
  const engine::LogState state = engine::ReadUninstallLog(box.package.c_str(), &log, &problem);

  ASSERT_EQ(state, c.state) << problem;
  if (state == engine::LogState::kMalformed) {
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    return;
  }
  EXPECT_EQ(log.pairs.size(), c.pairs);
  const std::size_t firstEnd = text.find_first_of("\r\n\x1A");
  EXPECT_EQ(log.gameFolder, text.substr(0, firstEnd));
  if (!log.pairs.empty()) {
    EXPECT_EQ(log.pairs[0].backupPath, Expand("$B\\a.dat", box));
  }
}

const std::string kPair1 = "$B\\a.dat\r\n$G\\Data\\a.dat\r\n";
const std::string kPair2 = "$B\\b.dat\r\n$G\\Data\\Art\\b.dat\r\n";
const std::string kHead = "$G\r\n";

using engine::LogState;

INSTANTIATE_TEST_SUITE_P(
    Cases, LogReading,
    ::testing::Values(
        LogCase{"crlf", kHead + kPair1 + kPair2, LogState::kReadable, 2, ""},
        LogCase{"lf_only", "$G\n$B\\a.dat\n$G\\Data\\a.dat\n$B\\b.dat\n$G\\b.dat\n",
                LogState::kReadable, 2, ""},
        LogCase{"no_line_end_after_last_line", "$G\r\n$B\\a.dat\r\n$G\\Data\\a.dat",
                LogState::kReadable, 1, ""},
        LogCase{"empty_file", "", LogState::kReadable, 0, ""},
        LogCase{"game_folder_line_alone", kHead, LogState::kReadable, 0, ""},
        LogCase{"byte_1A_ends_the_log", kHead + kPair1 + "\x1A" + "garbage\r\n",
                LogState::kReadable, 1, ""},
        LogCase{"lone_last_line_dropped", kHead + kPair1 + "x\r\n", LogState::kReadable, 1, ""},
        LogCase{"line_of_exactly_259_characters",
                std::string(259, 'g') + "\r\n$B\\a.dat\r\n" + std::string(253, 'h') +
                    "\\a.dat\r\n",
                LogState::kReadable, 1, ""},
        // What an install interrupted while writing its last pair leaves: dropped.
        LogCase{"last_first_line_without_second", kHead + kPair1 + "$B\\b.dat\r\n",
                LogState::kReadable, 1, ""},
        LogCase{"last_first_line_cut_short", kHead + kPair1 + "$B\\b.d", LogState::kReadable,
                1, ""},
        LogCase{"last_second_line_cut_short", kHead + kPair1 + "$B\\b.dat\r\n$G\\Data\\b.d",
                LogState::kReadable, 1, ""},
        // Damaged: nothing may be restored from it.
        LogCase{"line_of_260_characters", std::string(260, 'g') + "\r\n", LogState::kMalformed,
                0, "line 1:"},
        LogCase{"overlong_saved_copy_line", kHead + "$B\\" + std::string(300, 'a') + "\r\n",
                LogState::kMalformed, 0, "line 2:"},
        LogCase{"saved_copy_outside_the_backup_folder", kHead + "$G\\a.dat\r\n$G\\a.dat\r\n",
                LogState::kMalformed, 0, "line 2:"},
        LogCase{"saved_copy_climbing_out", kHead + "$B\\..\\a.dat\r\n$G\\a.dat\r\n",
                LogState::kMalformed, 0, "line 2:"},
        LogCase{"game_file_of_another_name",
                kHead + "$B\\a.dat\r\n$G\\Data\\other.dat\r\n" + kPair2, LogState::kMalformed,
                0, "line 3:"},
        LogCase{"blank_line_between_pairs", kHead + kPair1 + "\r\n" + kPair2,
                LogState::kMalformed, 0, "line 4:"}));

TEST(LogReadingCase, BackupFolderNamedInAnotherCase) {
  Sandbox box;
  std::string upper = box.package + "\\quarn BACKUP\\a.dat";
  WriteFile(box.logPath, box.game + "\r\n" + upper + "\r\n" + box.game + "\\A.DAT\r\n");
  engine::UninstallLog log;
  std::string problem;
  EXPECT_EQ(engine::ReadUninstallLog(box.package.c_str(), &log, &problem),
            engine::LogState::kReadable)
      << problem;
  EXPECT_EQ(log.pairs.size(), 1u);
}

TEST(LogReadingCase, NoLogMeansNoInstall) {
  Sandbox box;
  engine::UninstallLog log;
  std::string problem;
  EXPECT_EQ(engine::ReadUninstallLog(box.package.c_str(), &log, &problem),
            engine::LogState::kAbsent);
}

TEST(LogReadingCase, DriveLettersAreRefusedOutsideWindows) {
  if (host::kIsWindows) GTEST_SKIP() << "drive letters are the Windows program's own";
  Sandbox box;
  WriteFile(box.logPath, "C:\\Games\\Flight\r\nD:\\Patches\\QUARN Backup\\a.dat\r\n"
                         "C:\\Games\\Flight\\a.dat\r\n");
  engine::UninstallLog log;
  std::string problem;
  EXPECT_EQ(engine::ReadUninstallLog(box.package.c_str(), &log, &problem),
            engine::LogState::kMalformed);
  EXPECT_NE(problem.find("Windows"), std::string::npos) << problem;
}

}  // namespace
}  // namespace engine_testing
