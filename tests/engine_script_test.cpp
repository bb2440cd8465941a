// Reading the install script: tokens, command words, and what a damaged script does.
#include <string>
#include <vector>

#include "engine/Script.h"
#include "tests/engine_test_support.h"

namespace engine_testing {
namespace {

using engine::ScriptCommand;
using Kind = ScriptCommand::Kind;

struct Expected {
  Kind kind;
  std::string second;
  std::string third;
};

struct ScriptCase {
  const char* name;
  std::string script;
  std::vector<Expected> commands;
  int warnings;
};

void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.name; }

class ScriptReading : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptReading, YieldsTheCommandsInOrder) {
  const ScriptCase& c = GetParam();
  TempDir temp;
  const std::string path = temp / "Install.cfg";
  WriteFile(path, c.script);

  std::vector<ScriptCommand> commands;
  engine::Report report;
  ASSERT_TRUE(engine::ReadInstallScript(path.c_str(), &commands, &report)) << Describe(report);

  ASSERT_EQ(commands.size(), c.commands.size()) << Describe(report);
  for (std::size_t i = 0; i < commands.size(); ++i) {
    EXPECT_EQ(commands[i].kind, c.commands[i].kind) << "command " << i;
    EXPECT_EQ(commands[i].second, c.commands[i].second) << "command " << i;
    EXPECT_EQ(commands[i].third, c.commands[i].third) << "command " << i;
  }
  EXPECT_TRUE(report.Succeeded());
  EXPECT_EQ(static_cast<int>(report.Problems().size()), c.warnings) << Describe(report);
}

const Kind kCopy = Kind::kCopyFile;
const Kind kPatch = Kind::kPatchFile;

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptReading,
    ::testing::Values(
        ScriptCase{"empty", "", {}, 0},
        ScriptCase{"whitespace_only", " \t\r\n\v\f  \r\n", {}, 0},
        ScriptCase{"one_per_line_crlf",
                   "copyfile ship1.dat \\Data\r\npatchfile p.pat Data\\x.dat\r\n",
                   {{kCopy, "ship1.dat", "\\Data"}, {kPatch, "p.pat", "Data\\x.dat"}},
                   0},
        ScriptCase{"no_line_end_after_last_token", "copyfile a.dat \\Data",
                   {{kCopy, "a.dat", "\\Data"}}, 0},
        ScriptCase{"command_over_three_lines", "copyfile\n\ta.dat\n\n   \\Data\n",
                   {{kCopy, "a.dat", "\\Data"}}, 0},
        ScriptCase{"two_commands_on_one_line", "copyfile a \\A copyfile b \\B",
                   {{kCopy, "a", "\\A"}, {kCopy, "b", "\\B"}}, 0},
        ScriptCase{"every_whitespace_separates", "copyfile\va\f\\A\rpatchfile\tp\x0Bq",
                   {{kCopy, "a", "\\A"}, {kPatch, "p", "q"}}, 0},
        ScriptCase{"command_words_fold_case", "COPYFILE a \\A CopyFile b \\B PATCHfile p q",
                   {{kCopy, "a", "\\A"}, {kCopy, "b", "\\B"}, {kPatch, "p", "q"}}, 0},
        ScriptCase{"names_keep_their_case", "copyfile Ship1.DAT \\DaTa",
                   {{kCopy, "Ship1.DAT", "\\DaTa"}}, 0},
        ScriptCase{"unknown_word_takes_two_tokens", "delete a.dat \\Data copyfile b \\B",
                   {{kCopy, "b", "\\B"}}, 1},
        ScriptCase{"word_compared_whole", "copyfiles a \\A copy file x copyfile b \\B",
                   {{kCopy, "b", "\\B"}}, 2},
        ScriptCase{"only_ascii_letters_fold", "COPYFIL\xC9 a \\A", {}, 1},
        ScriptCase{"last_command_cut_short_after_one_token", "copyfile a \\A copyfile b.dat",
                   {{kCopy, "a", "\\A"}}, 1},
        ScriptCase{"last_command_is_a_word_alone", "copyfile a \\A\r\npatchfile\r\n",
                   {{kCopy, "a", "\\A"}}, 1},
        ScriptCase{"byte_1A_ends_the_script", "copyfile a \\A\x1A copyfile b \\B",
                   {{kCopy, "a", "\\A"}}, 0},
        ScriptCase{"byte_1A_inside_a_command_cuts_it", "copyfile a \\A copyfile b\x1A\\B",
                   {{kCopy, "a", "\\A"}}, 1}));

TEST(ScriptReadingFailure, MissingScriptFails) {
  TempDir temp;
  std::vector<ScriptCommand> commands;
  engine::Report report;
  EXPECT_FALSE(engine::ReadInstallScript((temp / "Install.cfg").c_str(), &commands, &report));
  EXPECT_FALSE(report.Succeeded());
  EXPECT_TRUE(Mentions(report, "Install.cfg")) << Describe(report);
}

}  // namespace
}  // namespace engine_testing
