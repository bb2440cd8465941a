// The host layer: path helpers, the name check for package names, text streams, the file
// operations with their Windows results, case-insensitive lookup, durable replacement and
// the test seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Host.h"
#include "platform/Paths.h"
#include "platform/Seam.h"
#include "platform/TextStream.h"
#include "tests/support/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace host;
using testing_support::Exists;
using testing_support::ReadText;
using testing_support::SetReadOnly;
using testing_support::TempDir;
using testing_support::WriteFile;

// The same path written the Windows way, to show that '\' separates components too.
std::string Win(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsReadOnlyOnDisk(const std::string& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

std::int64_t MTimeSeconds(const std::string& path) {
  const auto time = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

void SetMTimeSeconds(const std::string& path, std::int64_t seconds) {
  fs::last_write_time(path, std::chrono::file_clock::from_sys(
                                std::chrono::sys_seconds(std::chrono::seconds(seconds))));
}

std::uint64_t Ticks(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ull;

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { seam::Reset(); }
  void TearDown() override { seam::Reset(); }
  TempDir dir;
};

// Runs in `folder` for the life of the object.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : saved_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~InFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

// ---- path text helpers ----------------------------------------------------------------

TEST(PathTextTest, SamePathFoldsSeparatorsAndAsciiCaseOnly) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } const cases[] = {
      {"C:\\Games\\Data\\SHIP.DAT", "c:/games/data/ship.dat", true},
      {"a\\b", "a/b", true},
      {"a\\b", "a\\\\b", false},      // two separators are not one
      {"a\\b\\", "a\\b", false},      // a trailing separator counts
      {"data\xC4.dat", "data\xE4.dat", false},  // bytes above 0x7F compare exactly
      {"ship1.dat", "ship2.dat", false},
      {"", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SamePath(c.a, c.b), c.same) << c.a << " vs " << c.b;
  }
}

TEST(PathTextTest, AppendNeverOverrunsAPathBuffer) {
  char buffer[kMaxPath];
  ASSERT_TRUE(CopyToPath(buffer, std::string(250, 'a')));
  EXPECT_TRUE(AppendToPath(buffer, "\\bcdefghi"));  // exactly 259 characters
  EXPECT_EQ(std::strlen(buffer), 259u);
  const std::string before = buffer;
  EXPECT_FALSE(AppendToPath(buffer, "x"));
  EXPECT_EQ(before, buffer) << "a refused append must leave the buffer as it was";

  EXPECT_FALSE(CopyToPath(buffer, std::string(260, 'b')));
  EXPECT_STREQ(buffer, "");
}

TEST(PathTextTest, ParentAndLastComponent) {
  struct Case {
    const char* path;
    const char* parent;
    const char* last;
  } const cases[] = {
      {"C:\\Games\\ship.dat", "C:\\Games", "ship.dat"},
      {"a/b\\c", "a/b", "c"},
      {"ship.dat", "", "ship.dat"},
      {"\\Data", "", "Data"},
      {"folder\\", "folder", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParentOf(c.path), c.parent) << c.path;
    EXPECT_EQ(LastComponent(c.path), c.last) << c.path;
  }
}

struct NameCase {
  std::string name;
  bool leadingSeparatorAllowed;
  NameProblem expected;
};

// Names go into test names: control bytes are spelled out, long names shortened.
void PrintTo(const NameCase& c, std::ostream* out) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char ch : c.name.size() > 40 ? c.name.substr(0, 8) : c.name) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte >= 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += ch;
    }
  }
  if (c.name.size() > 40) shown += "... (" + std::to_string(c.name.size()) + " characters)";
  *out << '"' << shown << '"' << (c.leadingSeparatorAllowed ? " (leading separator allowed)" : "");
}

class CheckRelativeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(CheckRelativeNameTest, DecidesAsDocumented) {
  const NameCase& c = GetParam();
  EXPECT_EQ(CheckRelativeName(c.name, NameRules{c.leadingSeparatorAllowed}), c.expected)
      << "name \"" << c.name << "\" " << DescribeNameProblem(c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CheckRelativeNameTest,
    ::testing::Values(
        NameCase{"ship.dat", false, NameProblem::kNone},
        NameCase{"Data\\Art/hud.dat", false, NameProblem::kNone},
        NameCase{"Data/", false, NameProblem::kNone},  // a folder entry of an archive
        NameCase{"\\Data", true, NameProblem::kNone},
        NameCase{"\\", true, NameProblem::kNone},
        NameCase{"a..b.dat", false, NameProblem::kNone},
        NameCase{"console.dat", false, NameProblem::kNone},
        NameCase{"COM10", false, NameProblem::kNone},
        NameCase{"", false, NameProblem::kEmpty},
        NameCase{"a\\\\b", false, NameProblem::kEmpty},
        NameCase{"a//", false, NameProblem::kEmpty},
        NameCase{"\\Data", false, NameProblem::kAbsolute},
        NameCase{"/etc/passwd", false, NameProblem::kAbsolute},
        NameCase{"\\\\server\\share", true, NameProblem::kUncPrefix},
        NameCase{"//?/C:/x", true, NameProblem::kUncPrefix},
        NameCase{"C:\\Windows", false, NameProblem::kDrive},
        NameCase{"c:ship.dat", false, NameProblem::kDrive},
        NameCase{"\\C:\\x", true, NameProblem::kDrive},
        NameCase{"..\\ship.dat", false, NameProblem::kParentComponent},
        NameCase{"Data\\..\\..\\x", true, NameProblem::kParentComponent},
        NameCase{"Data/..", false, NameProblem::kParentComponent},
        NameCase{"ship.dat:stream", false, NameProblem::kColon},
        NameCase{"CON", false, NameProblem::kReservedDevice},
        NameCase{"Data\\con.txt", false, NameProblem::kReservedDevice},
        NameCase{"com1.dat", false, NameProblem::kReservedDevice},
        NameCase{"LPT9", false, NameProblem::kReservedDevice},
        NameCase{"nul .txt", false, NameProblem::kReservedDevice},
        NameCase{"Aux.tar.gz", false, NameProblem::kReservedDevice},
        NameCase{"ship.", false, NameProblem::kTrailingDotOrSpace},
        NameCase{"Data \\ship.dat", false, NameProblem::kTrailingDotOrSpace},
        NameCase{".\\ship.dat", false, NameProblem::kTrailingDotOrSpace},
        NameCase{"ship\x01.dat", false, NameProblem::kControlCharacter},
        NameCase{"ship\x7F", false, NameProblem::kControlCharacter},
        NameCase{std::string("ship\0.dat", 9), false, NameProblem::kControlCharacter},
        NameCase{"ship?.dat", false, NameProblem::kWildcardOrReserved},
        NameCase{"a|b", false, NameProblem::kWildcardOrReserved},
        NameCase{std::string(259, 'a'), false, NameProblem::kNone},
        NameCase{std::string(260, 'a'), false, NameProblem::kTooLong}));

TEST(PathTextTest, EveryNameProblemHasAPhrase) {
  for (int p = 0; p <= static_cast<int>(NameProblem::kWildcardOrReserved); ++p) {
    const char* phrase = DescribeNameProblem(static_cast<NameProblem>(p));
    ASSERT_NE(phrase, nullptr);
    EXPECT_NE(std::string(phrase), "is not acceptable") << "problem " << p;
  }
}

// ---- reading text ---------------------------------------------------------------------

struct LineRead {
  std::string text;
  bool ok;
  bool atEnd;
  bool failed;
};

struct ReadLineCase {
  const char* what;
  std::string content;
  std::vector<LineRead> reads;
};

void PrintTo(const ReadLineCase& c, std::ostream* out) { *out << c.what; }

class ReadLineTest : public ::testing::TestWithParam<ReadLineCase> {};

TEST_P(ReadLineTest, FollowsTheLineRules) {
  const ReadLineCase& c = GetParam();
  TempDir dir;
  WriteFile(dir / "log.cfg", c.content);
  TextReader reader((dir / "log.cfg").c_str());
  ASSERT_TRUE(reader.IsOpen());
  for (std::size_t i = 0; i < c.reads.size(); ++i) {
    char line[kMaxPath];
    std::memset(line, 'X', sizeof line);
    const bool ok = reader.ReadLine(line);
    const LineRead& want = c.reads[i];
    EXPECT_EQ(std::string(line), want.text) << c.what << ", read " << i + 1;
    EXPECT_EQ(ok, want.ok) << c.what << ", read " << i + 1;
    EXPECT_EQ(reader.AtEnd(), want.atEnd) << c.what << ", read " << i + 1;
    EXPECT_EQ(reader.Failed(), want.failed) << c.what << ", read " << i + 1;
  }
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

// CR at the last byte of one read block and LF at the first of the next.
std::string CrLfAcrossBlocks() {
  std::string text;
  for (int i = 0; i < 20; ++i) text += Repeat('a', 200) + "\n";
  text += Repeat('b', 4095 - text.size()) + "\r\nend";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadLineTest,
    ::testing::Values(
        ReadLineCase{"CR LF lines",
                     "C:\\Games\\Flight\r\nD:\\x\r\n",
                     {{"C:\\Games\\Flight", true, false, false},
                      {"D:\\x", true, false, false},
                      {"", false, true, true}}},
        ReadLineCase{"LF only",
                     "a\nb\n",
                     {{"a", true, false, false}, {"b", true, false, false},
                      {"", false, true, true}}},
        ReadLineCase{"last line without line end",
                     "a\r\nb",
                     {{"a", true, false, false}, {"b", true, true, false},
                      {"", false, true, true}}},
        ReadLineCase{"empty file", "", {{"", false, true, true}, {"", false, true, true}}},
        ReadLineCase{"empty lines",
                     "\r\n\nx\r\n",
                     {{"", true, false, false}, {"", true, false, false},
                      {"x", true, false, false}}},
        ReadLineCase{"259 characters",
                     Repeat('a', 259) + "\r\nnext\r\n",
                     {{Repeat('a', 259), true, false, false}, {"next", true, false, false}}},
        ReadLineCase{"260 characters",
                     Repeat('a', 259) + "b\r\nnext\r\n",
                     {{Repeat('a', 259), false, false, true}, {"", false, false, true}}},
        ReadLineCase{"0x1A ends the data",
                     "a\r\nb\x1A" "c\r\n",
                     {{"a", true, false, false}, {"b", true, true, false},
                      {"", false, true, true}}},
        ReadLineCase{"lone CR kept",
                     "a\rb\r\nc\r\r\nd\r",
                     {{"a\rb", true, false, false}, {"c\r", true, false, false},
                      {"d\r", true, true, false}}}));

TEST(TextReaderTest, CrLfSplitAcrossReadBlocksIsOneLineEnd) {
  TempDir dir;
  WriteFile(dir / "log.cfg", CrLfAcrossBlocks());
  TextReader reader((dir / "log.cfg").c_str());
  char line[kMaxPath];
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(reader.ReadLine(line));
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(std::string(line), Repeat('b', 75)) << "the CR belongs to the line end";
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_STREQ(line, "end");
  EXPECT_TRUE(reader.AtEnd());
}

TEST(TextReaderTest, TooLongLineLeavesItsOverflowUnread) {
  TempDir dir;
  WriteFile(dir / "log.cfg", Repeat('a', 259) + "bc\r\n");
  TextReader reader((dir / "log.cfg").c_str());
  char line[kMaxPath];
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_EQ(reader.Get(), 'b');
  EXPECT_EQ(reader.Get(), 'c');
}

TEST(TextReaderTest, MissingFileFailsWithoutEverMeetingTheEnd) {
  TempDir dir;
  TextReader reader((dir / "missing.cfg").c_str());
  EXPECT_FALSE(reader.IsOpen());
  char line[kMaxPath];
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_STREQ(line, "");
    EXPECT_TRUE(reader.Failed());
    EXPECT_FALSE(reader.AtEnd()) << "a reader waiting for the end would never stop";
  }
}

TEST(TextReaderTest, ReadErrorEndsTheDataAndFails) {
  TempDir dir;
  WriteFile(dir / "log.cfg", "a\r\nb\r\n");
  TextReader reader((dir / "log.cfg").c_str());
  seam::Reset();
  seam::Arm(seam::Action::kFail, 1);  // the first ReadFile
  char line[kMaxPath];
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_TRUE(reader.ReadError());
  EXPECT_TRUE(reader.Failed());
  EXPECT_TRUE(reader.AtEnd());
  seam::Reset();
}

TEST(TextReaderTest, TokensAcrossAnyWhitespaceAndNeverCut) {
  TempDir dir;
  const std::string longToken = Repeat('t', 5000);
  WriteFile(dir / "Install.cfg", "  copyfile\tship.dat\r\n\\Data\v\f" + longToken +
                                     "\r\nCOPYFILE x\x1A" "after");
  TextReader reader((dir / "Install.cfg").c_str());
  std::vector<std::string> tokens;
  std::string token;
  while (reader.ReadToken(token)) tokens.push_back(token);
  EXPECT_TRUE(token.empty());
  const std::vector<std::string> expected = {"copyfile", "ship.dat", "\\Data", longToken,
                                             "COPYFILE", "x"};
  EXPECT_EQ(tokens, expected);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(TextReaderTest, TokenRightAtTheEndMarksTheEnd) {
  TempDir dir;
  WriteFile(dir / "Install.cfg", "a b");
  TextReader reader((dir / "Install.cfg").c_str());
  std::string token;
  ASSERT_TRUE(reader.ReadToken(token));
  EXPECT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.ReadToken(token));
  EXPECT_EQ(token, "b");
  EXPECT_TRUE(reader.AtEnd());
}

// ---- writing text ---------------------------------------------------------------------

TEST(TextWriterTest, LinesEndInCrLfOnDiskAndReachTheFileAtOnce) {
  TempDir dir;
  const std::string path = dir / "Uninstall.cfg";
  WriteFile(path, "old content that must go away");
  TextWriter writer;
  ASSERT_TRUE(writer.Create(path.c_str()));
  writer.WriteLine("C:\\Games\\Flight");
  EXPECT_EQ(ReadText(path), "C:\\Games\\Flight\r\n") << "a line must be in the file once ended";
  writer.Write("a\nb");
  writer.WriteLine("");
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(ReadText(path), "C:\\Games\\Flight\r\na\r\nb\r\n");
}

TEST(TextWriterTest, LongTextCrossesTheBufferWhole) {
  TempDir dir;
  const std::string path = dir / "big.txt";
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "ab\n";
  TextWriter writer;
  ASSERT_TRUE(writer.Create(path.c_str()));
  writer.Write(text.c_str());
  ASSERT_TRUE(writer.Close());
  std::string expected;
  for (int i = 0; i < 3000; ++i) expected += "ab\r\n";
  EXPECT_EQ(ReadText(path), expected);
}

TEST(TextWriterTest, AppendAddsAtTheEnd) {
  TempDir dir;
  const std::string path = dir / "Uninstall.cfg";
  WriteFile(path, "first\r\n");
  TextWriter writer;
  ASSERT_TRUE(writer.OpenForAppend(path.c_str()));
  writer.WriteLine("second");
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(ReadText(path), "first\r\nsecond\r\n");
  EXPECT_FALSE(writer.OpenForAppend((dir / "missing.cfg").c_str()));
  EXPECT_FALSE(Exists(dir / "missing.cfg")) << "append never creates";
}

TEST(TextWriterTest, StreamThatCannotOpenFailsQuietly) {
  TempDir dir;
  TextWriter writer;
  EXPECT_FALSE(writer.Create((dir / "no folder/Uninstall.cfg").c_str()));
  writer.WriteLine("lost");
  EXPECT_FALSE(writer.Sync());
  EXPECT_TRUE(writer.Failed());
  EXPECT_FALSE(writer.Close());
  EXPECT_FALSE(Exists(dir / "no folder"));
}

TEST(TextWriterTest, FailedWriteFailsTheStreamAndLaterWritesDoNothing) {
  TempDir dir;
  const std::string path = dir / "Uninstall.cfg";
  TextWriter writer;
  ASSERT_TRUE(writer.Create(path.c_str()));
  writer.WriteLine("one");
  seam::Reset();
  seam::Arm(seam::Action::kFail, 1);  // the WriteFile of the next line
  writer.WriteLine("two");
  writer.WriteLine("three");
  EXPECT_TRUE(writer.Failed());
  EXPECT_FALSE(writer.Close());
  seam::Reset();
  EXPECT_EQ(ReadText(path), "one\r\n");
}

// ---- files and folders with Windows results -------------------------------------------

TEST_F(HostTest, DeleteRefusesFoldersMissingAndReadOnlyFiles) {
  WriteFile(dir / "folder/keep.dat", "x");
  WriteFile(dir / "locked.dat", "saved original");
  SetReadOnly(dir / "locked.dat", true);
  struct Case {
    std::string path;
    DWORD error;
  } const cases[] = {
      {Win(dir / "folder"), kErrorAccessDenied},
      {Win(dir / "folder/."), kErrorAccessDenied},
      {Win(dir / "folder/.."), kErrorAccessDenied},
      {Win(dir / "missing.dat"), kErrorFileNotFound},
      {Win(dir / "no folder/missing.dat"), kErrorPathNotFound},
      {Win(dir / "locked.dat"), kErrorAccessDenied},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(c.path.c_str())) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  EXPECT_EQ(ReadText(dir / "locked.dat"), "saved original");
  EXPECT_TRUE(Exists(dir / "folder/keep.dat"));

  WriteFile(dir / "plain.dat", "x");
  EXPECT_TRUE(DeleteFileA(Win(dir / "plain.dat").c_str()));
  EXPECT_FALSE(Exists(dir / "plain.dat"));
}

TEST_F(HostTest, CopyReplacesAndKeepsTimeAndReadOnlyAttribute) {
  WriteFile(dir / "source.dat", "new content");
  WriteFile(dir / "game.dat", "old content, longer than the new one");
  SetMTimeSeconds(dir / "source.dat", 1000000000);
  SetReadOnly(dir / "source.dat", true);
  ASSERT_TRUE(CopyFileA(Win(dir / "source.dat").c_str(), Win(dir / "game.dat").c_str(), 0));
  EXPECT_EQ(ReadText(dir / "game.dat"), "new content");
  EXPECT_EQ(MTimeSeconds(dir / "game.dat"), 1000000000);
  EXPECT_TRUE(IsReadOnlyOnDisk(dir / "game.dat"));

  ASSERT_TRUE(CopyFileA(Win(dir / "source.dat").c_str(), Win(dir / "fresh.dat").c_str(), 0));
  EXPECT_EQ(ReadText(dir / "fresh.dat"), "new content");
}

TEST_F(HostTest, CopyFailsWithoutEffect) {
  WriteFile(dir / "source.dat", "new");
  WriteFile(dir / "locked.dat", "original");
  SetReadOnly(dir / "locked.dat", true);
  WriteFile(dir / "exists.dat", "original");
  struct Case {
    std::string source;
    std::string destination;
    BOOL failIfExists;
    DWORD error;
  } const cases[] = {
      {dir / "missing.dat", dir / "new.dat", 0, kErrorFileNotFound},
      {dir / "source.dat", dir / "no folder/new.dat", 0, kErrorPathNotFound},
      {dir / "source.dat", dir / "locked.dat", 0, kErrorAccessDenied},
      {dir / "source.dat", dir / "exists.dat", 1, kErrorFileExists},
      {dir / "exists.dat", dir / "EXISTS.DAT", 0, kErrorSharingViolation},
      {dir / "source.dat", dir.path(), 0, kErrorAccessDenied},
  };
  const auto before = testing_support::Snapshot(dir.path());
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(CopyFileA(Win(c.source).c_str(), Win(c.destination).c_str(), c.failIfExists))
        << c.source << " -> " << c.destination;
    EXPECT_EQ(GetLastError(), c.error) << c.source << " -> " << c.destination;
  }
  EXPECT_EQ(testing_support::Snapshot(dir.path()), before);
  EXPECT_FALSE(Exists(dir / "new.dat"));
}

TEST_F(HostTest, RemoveDirectoryTakesATrailingSeparatorAndOnlyEmptyFolders) {
  fs::create_directories(dir / "empty");
  WriteFile(dir / "full/file.dat", "x");
  EXPECT_FALSE(RemoveDirectoryA((Win(dir / "full") + "\\").c_str()));
  EXPECT_EQ(GetLastError(), kErrorDirNotEmpty);
  EXPECT_TRUE(Exists(dir / "full/file.dat"));
  EXPECT_TRUE(RemoveDirectoryA((Win(dir / "empty") + "\\").c_str()));
  EXPECT_FALSE(Exists(dir / "empty"));
  EXPECT_FALSE(RemoveDirectoryA(Win(dir / "full/file.dat").c_str()));
  EXPECT_FALSE(RemoveDirectoryA(Win(dir / "gone").c_str()));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST_F(HostTest, CreateDirectoryMakesOneLevelAndFailsWhenPresent) {
  EXPECT_TRUE(CreateDirectoryA(Win(dir / "QUARN Backup").c_str()));
  EXPECT_TRUE(testing_support::IsFolder(dir / "QUARN Backup"));
  EXPECT_FALSE(CreateDirectoryA(Win(dir / "QUARN Backup").c_str()));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_FALSE(CreateDirectoryA(Win(dir / "a/b").c_str()));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(Exists(dir / "a"));
}

TEST_F(HostTest, EnumerationListsEveryEntryWithDotAndDotDot) {
  WriteFile(dir / "Temp/ship.dat", "12345");
  WriteFile(dir / "Temp/noext", "");
  fs::create_directories(dir / "Temp/Data");
  SetReadOnly(dir / "Temp/noext", true);
  for (const char* mask : {"\\*.*", "\\*"}) {
    WIN32_FIND_DATAA data{};
    const std::string pattern = Win(dir / "Temp") + mask;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    ASSERT_NE(find, kInvalidHandle) << pattern;
    std::vector<std::string> names;
    do {
      names.push_back(data.cFileName);
      const std::string name = data.cFileName;
      if (name == "ship.dat") {
        EXPECT_EQ(data.dwFileAttributes, kAttributeNormal);
        EXPECT_EQ(data.nFileSizeLow, 5u);
        EXPECT_EQ(data.nFileSizeHigh, 0u);
        EXPECT_NE(Ticks(data.ftLastWriteTime), 0u);
      } else if (name == "noext") {
        EXPECT_EQ(data.dwFileAttributes, kAttributeReadOnly);
      } else {
        EXPECT_EQ(data.dwFileAttributes, kAttributeDirectory) << name;
      }
    } while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), kErrorNoMoreFiles);
    EXPECT_TRUE(FindClose(find));
    const std::vector<std::string> expected = {".", "..", "Data", "noext", "ship.dat"};
    std::sort(names.begin(), names.end());  // the order is the file system's
    EXPECT_EQ(names, expected) << pattern;
  }
  WIN32_FIND_DATAA data{};
  EXPECT_EQ(FindFirstFileA((Win(dir / "missing") + "\\*.*").c_str(), &data), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST_F(HostTest, AttributesTellFolderReadOnlyAndNothing) {
  WriteFile(dir / "file.dat", "x");
  fs::create_directories(dir / "folder");
  EXPECT_EQ(GetFileAttributesA(Win(dir / "file.dat").c_str()), kAttributeNormal);
  EXPECT_EQ(GetFileAttributesA(Win(dir / "folder").c_str()), kAttributeDirectory);
  EXPECT_EQ(GetFileAttributesA(Win(dir / "missing").c_str()), kInvalidFileAttributes);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  ASSERT_TRUE(SetFileAttributesA(Win(dir / "file.dat").c_str(), kAttributeReadOnly));
  EXPECT_EQ(GetFileAttributesA(Win(dir / "file.dat").c_str()), kAttributeReadOnly);
  EXPECT_FALSE(DeleteFileA(Win(dir / "file.dat").c_str()));
  ASSERT_TRUE(SetFileAttributesA(Win(dir / "file.dat").c_str(), kAttributeNormal));
  EXPECT_TRUE(DeleteFileA(Win(dir / "file.dat").c_str()));
}

TEST_F(HostTest, FullPathFoldsDotsAgainstTheCurrentDirectory) {
  fs::create_directories(dir / "pkg");
  InFolder in(dir / "pkg");
  const std::string cwd = fs::current_path().string();
  struct Case {
    std::string name;
    std::string expected;
  } const cases[] = {
      {"Kyr.jxf", cwd + "/Kyr.jxf"},
      {"Temp\\Data\\..\\ship.dat", cwd + "/Temp/ship.dat"},
      {".\\Temp\\.\\x", cwd + "/Temp/x"},
      {"Temp\\", cwd + "/Temp/"},
      {"..\\other", fs::path(cwd).parent_path().string() + "/other"},
#ifndef _WIN32  // on Windows a leading separator means the root of the current drive
      {"\\a\\\\b", "/a/b"},
      {"\\..\\..\\a", "/a"},
#endif
      {"missing\\..\\..\\pkg\\x", cwd + "/x"},
  };
  for (const auto& c : cases) {
    char buffer[kMaxPath];
    const DWORD length = GetFullPathNameA(c.name.c_str(), kMaxPath, buffer);
    EXPECT_TRUE(SamePath(buffer, c.expected)) << c.name << " gave " << buffer;
    EXPECT_EQ(length, c.expected.size()) << c.name;
  }
  char small[4];
  EXPECT_EQ(GetFullPathNameA("Kyr.jxf", sizeof small, small), cwd.size() + 9);
}

TEST_F(HostTest, CurrentDirectoryRoundTrip) {
  fs::create_directories(dir / "Package");
  InFolder in(dir.path());
  ASSERT_TRUE(SetCurrentDirectoryA("package"));  // found without regard to case
  char buffer[kMaxPath];
  const DWORD length = GetCurrentDirectoryA(kMaxPath, buffer);
  EXPECT_TRUE(SamePath(buffer, fs::canonical(dir / "Package").string())) << buffer;
  EXPECT_EQ(length, std::strlen(buffer));
  char small[2];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), length + 1);
  EXPECT_FALSE(SetCurrentDirectoryA("missing"));
}

TEST_F(HostTest, BinaryFilesOpenAsAsked) {
  const std::string path = Win(dir / "patch.bin");
  EXPECT_EQ(CreateFileA(path.c_str(), kGenericRead, kOpenExisting), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(CreateFileA(Win(dir / "no/x").c_str(), kGenericWrite, kCreateAlways),
            kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);

  HANDLE file = CreateFileA(path.c_str(), kGenericRead | kGenericWrite, kCreateAlways);
  ASSERT_NE(file, kInvalidHandle);
  ASSERT_NE(file, nullptr);
  DWORD done = 0;
  ASSERT_TRUE(host::WriteFile(file, "0123456789", 10, &done));
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(GetFileSizeOf(file), 10);
  ASSERT_TRUE(SetFilePointerFromStart(file, 4));
  ASSERT_TRUE(host::WriteFile(file, "ab", 2, &done));
  ASSERT_TRUE(SetFilePointerFromStart(file, 0));
  char buffer[32] = {};
  ASSERT_TRUE(host::ReadFile(file, buffer, sizeof buffer, &done));
  EXPECT_EQ(std::string(buffer, done), "0123ab6789");
  ASSERT_TRUE(host::ReadFile(file, buffer, sizeof buffer, &done));
  EXPECT_EQ(done, 0u) << "at the end a read succeeds with nothing";
  EXPECT_TRUE(FlushFileBuffers(file));
  EXPECT_TRUE(CloseHandle(file));

  file = CreateFileA(path.c_str(), kGenericWrite, kOpenAlways);
  ASSERT_NE(file, kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_EQ(GetFileSizeOf(file), 10) << "open-always never empties";
  CloseHandle(file);

  SetReadOnly(dir / "patch.bin", true);
  EXPECT_EQ(CreateFileA(path.c_str(), kGenericWrite, kOpenExisting), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(CreateFileA(path.c_str(), kGenericWrite, kCreateAlways), kInvalidHandle);
  EXPECT_EQ(ReadText(dir / "patch.bin"), "0123ab6789");
  file = CreateFileA(path.c_str(), kGenericRead, kOpenExisting);
  EXPECT_NE(file, kInvalidHandle) << "a read-only file still opens for reading";
  CloseHandle(file);

  EXPECT_EQ(CreateFileA(dir.path().c_str(), kGenericRead, kOpenExisting), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

// ---- times ----------------------------------------------------------------------------

TEST_F(HostTest, FileTimesRoundTrip) {
  const std::string path = Win(dir / "entry.dat");
  HANDLE file = CreateFileA(path.c_str(), kGenericWrite, kCreateAlways);
  ASSERT_NE(file, kInvalidHandle);
  // 2001-09-09 01:46:40 UTC.
  const FILETIME written = FromTicks(kUnixEpochTicks + 1000000000ull * 10000000ull);
  ASSERT_TRUE(SetFileTime(file, &written, nullptr, &written));
  FILETIME creation{};
  FILETIME access{};
  FILETIME lastWrite{};
  ASSERT_TRUE(GetFileTime(file, &creation, &access, &lastWrite));
  EXPECT_EQ(Ticks(lastWrite), Ticks(written));
  EXPECT_NE(Ticks(creation), 0u);
  CloseHandle(file);
  EXPECT_EQ(MTimeSeconds(dir / "entry.dat"), 1000000000);
}

TEST(FileTimeTest, DosDateAndTime) {
  struct Case {
    int year, month, day, hour, minute, second;
    bool valid;
    std::int64_t unixSeconds;  // of the same wall-clock time, read as UTC
  } const cases[] = {
      {1980, 1, 1, 0, 0, 0, true, 315532800},
      {2000, 2, 29, 12, 30, 58, true, 951827458},
      {2107, 12, 31, 23, 59, 58, true, 4354819198},
      {2100, 2, 29, 0, 0, 0, false, 0},
      {1999, 4, 31, 0, 0, 0, false, 0},
      {1999, 0, 1, 0, 0, 0, false, 0},
      {1999, 13, 1, 0, 0, 0, false, 0},
      {1999, 1, 0, 0, 0, 0, false, 0},
      {1999, 1, 1, 24, 0, 0, false, 0},
      {1999, 1, 1, 0, 60, 0, false, 0},
  };
  for (const auto& c : cases) {
    const auto date = static_cast<WORD>(((c.year - 1980) << 9) | (c.month << 5) | c.day);
    const auto time = static_cast<WORD>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
    FILETIME result{};
    EXPECT_EQ(DosDateTimeToFileTime(date, time, &result) != 0, c.valid) << c.year << "-" << c.month
                                                                        << "-" << c.day;
    if (c.valid) {
      EXPECT_EQ(Ticks(result),
                kUnixEpochTicks + static_cast<std::uint64_t>(c.unixSeconds) * 10000000ull)
          << c.year << "-" << c.month << "-" << c.day;
    }
  }
}

#ifndef _WIN32  // Windows takes its time zone from its settings, not from TZ
TEST(FileTimeTest, LocalTimeUsesTheOffsetInForceNow) {
  const char* saved = std::getenv("TZ");
  const std::string savedZone = saved ? saved : "";
  setenv("TZ", "XYZ-2", 1);  // two hours east of UTC, all year
  tzset();
  const FILETIME local = FromTicks(kUnixEpochTicks + 12ull * 3600 * 10000000ull);
  FILETIME utc{};
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
  EXPECT_EQ(Ticks(utc), kUnixEpochTicks + 10ull * 3600 * 10000000ull);
  if (saved) {
    setenv("TZ", savedZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

TEST(CompareTest, CaseIsIgnored) {
  EXPECT_EQ(lstrcmpiA("SHIP.DAT", "ship.dat"), 0);
  EXPECT_LT(lstrcmpiA("a", "B"), 0);
  EXPECT_GT(lstrcmpiA("b", "A"), 0);
  EXPECT_LT(lstrcmpiA("ship", "ship.dat"), 0);
  // Our own implementation folds ASCII letters only; Windows folds by its code page.
  if (!kIsWindows) {
    EXPECT_NE(lstrcmpiA("\xC4", "\xE4"), 0);
  }
}

// ---- case-insensitive lookup ----------------------------------------------------------

TEST_F(HostTest, ScriptNamesFindGameFilesWhateverTheirCase) {
  WriteFile(dir / "Game/DATA/SHIP.DAT", "original");
  const std::string spelled = Win(dir / "Game") + "\\data\\ship.dat";
  EXPECT_EQ(GetFileAttributesA(spelled.c_str()), kAttributeNormal);
  HANDLE file = CreateFileA(spelled.c_str(), kGenericWrite, kCreateAlways);
  ASSERT_NE(file, kInvalidHandle);
  DWORD done = 0;
  host::WriteFile(file, "patched", 7, &done);
  CloseHandle(file);
  EXPECT_EQ(Names(dir / "Game/DATA"), std::vector<std::string>{"SHIP.DAT"})
      << "the existing file is replaced, no second one made";
  EXPECT_EQ(ReadText(dir / "Game/DATA/SHIP.DAT"), "patched");

  // A new file keeps the case it is given, in the folder found without regard to case.
  ASSERT_TRUE(CopyFileA(spelled.c_str(), (Win(dir / "Game") + "/data\\New.Dat").c_str(), 0));
  EXPECT_EQ(Names(dir / "Game/DATA"), (std::vector<std::string>{"New.Dat", "SHIP.DAT"}));
  EXPECT_TRUE(DeleteFileA((Win(dir / "Game") + "\\Data\\ship.DAT").c_str()));
  EXPECT_EQ(Names(dir / "Game/DATA"), std::vector<std::string>{"New.Dat"});
}

#ifndef _WIN32  // Windows cannot hold two names that differ only in case
TEST_F(HostTest, NamesDifferingOnlyInCaseNeedTheExactSpelling) {
  WriteFile(dir / "ab.dat", "lower");
  WriteFile(dir / "AB.dat", "upper");
  WriteFile(dir / "Sub/x", "1");
  WriteFile(dir / "SUB/x", "2");
  EXPECT_EQ(GetFileAttributesA(Win(dir / "ab.dat").c_str()), kAttributeNormal);
  HANDLE file = CreateFileA(Win(dir / "AB.dat").c_str(), kGenericRead, kOpenExisting);
  ASSERT_NE(file, kInvalidHandle);
  char buffer[8] = {};
  DWORD done = 0;
  host::ReadFile(file, buffer, sizeof buffer, &done);
  EXPECT_EQ(std::string(buffer, done), "upper");
  CloseHandle(file);

  for (const std::string& path : {dir / "Ab.dat", dir / "sub/x"}) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(Win(path).c_str()), kInvalidFileAttributes) << path;
    EXPECT_EQ(GetLastError(), kErrorAmbiguousName) << path;
    EXPECT_EQ(CreateFileA(Win(path).c_str(), kGenericWrite, kCreateAlways), kInvalidHandle);
    EXPECT_EQ(GetLastError(), kErrorAmbiguousName) << path;
  }
  EXPECT_FALSE(DeleteFileA(Win(dir / "aB.dat").c_str()));
  EXPECT_EQ(ReadText(dir / "ab.dat"), "lower");
  EXPECT_EQ(ReadText(dir / "AB.dat"), "upper");
}
#endif

// ---- durable replacement --------------------------------------------------------------

TEST(TemporaryPathTest, FitsAPathBufferOrFails) {
  char buffer[kMaxPath];
  const std::string fits(259 - 5, 'a');
  ASSERT_TRUE(TemporaryPathFor(fits.c_str(), buffer));
  EXPECT_EQ(std::string(buffer), fits + ".kyr~");
  EXPECT_FALSE(TemporaryPathFor((fits + "b").c_str(), buffer));
  EXPECT_EQ(GetLastError(), kErrorFilenameExcedRange);
}

class DurableTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteFile(dir / "Backup/ship.dat", "the saved original");
    WriteFile(dir / "Game/SHIP.DAT", "the packaged file");
    SetMTimeSeconds(dir / "Backup/ship.dat", 900000000);
    source = Win(dir / "Backup/ship.dat");
    destination = Win(dir / "Game/ship.dat");
  }
  bool NoTemporaryLeft() {
    for (const char* folder : {"Backup", "Game"}) {
      for (const std::string& name : Names(dir / folder)) {
        if (name.find(".kyr~") != std::string::npos) return false;
      }
    }
    return true;
  }
  std::string source;
  std::string destination;
};

TEST_F(DurableTest, CopyReplacesWithContentTimeAndAttribute) {
  SetReadOnly(dir / "Backup/ship.dat", true);
  ASSERT_TRUE(CopyFileDurably(source.c_str(), destination.c_str()));
  EXPECT_EQ(ReadText(dir / "Game/SHIP.DAT"), "the saved original");
  EXPECT_EQ(Names(dir / "Game"), std::vector<std::string>{"SHIP.DAT"});
  EXPECT_EQ(MTimeSeconds(dir / "Game/SHIP.DAT"), 900000000);
  EXPECT_TRUE(IsReadOnlyOnDisk(dir / "Game/SHIP.DAT"));
  ASSERT_TRUE(CopyFileDurably(source.c_str(), Win(dir / "Game/new.dat").c_str()));
  EXPECT_EQ(ReadText(dir / "Game/new.dat"), "the saved original");
}

TEST_F(DurableTest, CopyFailsLikeCopyFileAndLeavesNothing) {
  SetReadOnly(dir / "Game/SHIP.DAT", true);
  struct Case {
    std::string source;
    std::string destination;
    DWORD error;
  } const cases[] = {
      {source, destination, kErrorAccessDenied},
      {Win(dir / "Backup/missing.dat"), Win(dir / "Game/x.dat"), kErrorFileNotFound},
      {source, Win(dir / "Game/missing/x.dat"), kErrorPathNotFound},
      {source, Win(dir / "Game") + "\\" + std::string(250, 'x'), kErrorFilenameExcedRange},
  };
  const auto before = testing_support::Snapshot(dir.path());
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(CopyFileDurably(c.source.c_str(), c.destination.c_str())) << c.destination;
    EXPECT_EQ(GetLastError(), c.error) << c.destination;
  }
  EXPECT_EQ(testing_support::Snapshot(dir.path()), before);
}

TEST_F(DurableTest, SeamStepsAreTheDocumentedOnes) {
  seam::SetRecording(true);
  ASSERT_TRUE(CopyFileDurably(source.c_str(), destination.c_str()));
  const std::vector<std::string>& recorded = seam::Recorded();
  ASSERT_EQ(recorded.size(), 5u);
  const char* steps[] = {"CopyFileDurably:create ", "CopyFileDurably:write ",
                         "CopyFileDurably:flush ", "CopyFileDurably:rename ",
                         "CopyFileDurably:flushFolder "};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(recorded[i].rfind(steps[i], 0), 0u) << recorded[i];
  }
  EXPECT_EQ(recorded[0], "CopyFileDurably:create " + destination + ".kyr~");
}

TEST_F(DurableTest, FailureAtEachStepKeepsTheDestinationWhole) {
  for (std::uint64_t step = 1; step <= 5; ++step) {
    WriteFile(dir / "Game/SHIP.DAT", "the packaged file");
    seam::Reset();
    seam::Arm(seam::Action::kFail, step);
    EXPECT_FALSE(CopyFileDurably(source.c_str(), destination.c_str())) << "step " << step;
    EXPECT_EQ(GetLastError(), kErrorInjectedFault) << "step " << step;
    // Up to the rename the game file is untouched; after it, it is complete.
    EXPECT_EQ(ReadText(dir / "Game/SHIP.DAT"),
              step <= 4 ? "the packaged file" : "the saved original")
        << "step " << step;
    EXPECT_TRUE(NoTemporaryLeft()) << "step " << step;
  }
}

// A death test child must share the fixture's folder: only a forked child does.
#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST_F(DurableTest, CrashAtEachStepLeavesOldOrNewContentAndACleanableTemporary) {
  for (std::uint64_t step = 1; step <= 5; ++step) {
    WriteFile(dir / "Game/SHIP.DAT", "the packaged file");
    EXPECT_EXIT(
        {
          seam::Reset();
          seam::Arm(seam::Action::kCrash, step);
          CopyFileDurably(source.c_str(), destination.c_str());
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(seam::kCrashExitCode), "")
        << "step " << step;
    const std::string content = ReadText(dir / "Game/SHIP.DAT");
    EXPECT_TRUE(content == "the packaged file" || content == "the saved original")
        << "step " << step << ": " << content;
    EXPECT_TRUE(RemoveTemporaryFiles(Win(dir / "Game").c_str()));
    EXPECT_TRUE(NoTemporaryLeft()) << "step " << step;
  }
}
#endif

TEST_F(DurableTest, MoveReplacesButNeverAReadOnlyDestination) {
  WriteFile(dir / "Game/SHIP.DAT.kyr~", "rewritten");
  const std::string temporary = destination + ".kyr~";
  SetReadOnly(dir / "Game/SHIP.DAT", true);
  EXPECT_FALSE(MoveFileReplaceDurably(temporary.c_str(), destination.c_str()));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(ReadText(dir / "Game/SHIP.DAT"), "the packaged file");
  EXPECT_EQ(ReadText(dir / "Game/SHIP.DAT.kyr~"), "rewritten");

  SetReadOnly(dir / "Game/SHIP.DAT", false);
  ASSERT_TRUE(MoveFileReplaceDurably(temporary.c_str(), destination.c_str()));
  EXPECT_EQ(Names(dir / "Game"), std::vector<std::string>{"SHIP.DAT"});
  EXPECT_EQ(ReadText(dir / "Game/SHIP.DAT"), "rewritten");

  EXPECT_FALSE(MoveFileReplaceDurably(temporary.c_str(), destination.c_str()));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST_F(DurableTest, LeftoverTemporariesAreRemovedAndNothingElse) {
  WriteFile(dir / "Game/a.dat.kyr~", "x");
  WriteFile(dir / "Game/B.DAT.KYR~", "x");
  SetReadOnly(dir / "Game/B.DAT.KYR~", true);
  WriteFile(dir / "Game/kyr~", "not a temporary");
  WriteFile(dir / "Game/Sub/c.kyr~", "in a subfolder: not this folder's");
  EXPECT_TRUE(RemoveTemporaryFiles(Win(dir / "game").c_str()));
  EXPECT_EQ(Names(dir / "Game"), (std::vector<std::string>{"SHIP.DAT", "Sub", "kyr~"}));
  EXPECT_TRUE(Exists(dir / "Game/Sub/c.kyr~"));
  EXPECT_TRUE(RemoveTemporaryFiles(Win(dir / "missing").c_str()));
}

// ---- the seam -------------------------------------------------------------------------

TEST_F(HostTest, SeamCountsFailsAndRecords) {
  seam::SetRecording(true);
  char buffer[kMaxPath];
  FILETIME time{};
  lstrcmpiA("a", "b");
  TemporaryPathFor("x", buffer);
  DosDateTimeToFileTime(0x21, 0, &time);
  EXPECT_EQ(seam::Count(), 0u) << "pure operations do not pass the seam";

  seam::Arm(seam::Action::kFail, 2);
  const std::string a = Win(dir / "a");
  const std::string b = Win(dir / "b");
  const std::string c = Win(dir / "c");
  EXPECT_TRUE(CreateDirectoryA(a.c_str()));
  EXPECT_FALSE(CreateDirectoryA(b.c_str()));
  EXPECT_EQ(GetLastError(), kErrorInjectedFault);
  EXPECT_TRUE(CreateDirectoryA(c.c_str()));
  EXPECT_TRUE(CopyFileA(a.c_str(), b.c_str(), 0) == 0);  // a folder: fails, but passes
  EXPECT_EQ(seam::Count(), 4u);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a", "c"}));
  const std::vector<std::string> expected = {"CreateDirectoryA " + a, "CreateDirectoryA " + b,
                                             "CreateDirectoryA " + c,
                                             "CopyFileA " + a + " " + b};
  EXPECT_EQ(seam::Recorded(), expected);

  seam::Reset();
  EXPECT_EQ(seam::Count(), 0u);
  EXPECT_TRUE(seam::Recorded().empty());
  EXPECT_TRUE(RemoveDirectoryA(a.c_str()));
  EXPECT_TRUE(seam::Recorded().empty()) << "recording is off after Reset";
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST_F(HostTest, SeamCrashEndsTheProcessAtTheArmedOperation) {
  const std::string first = Win(dir / "first");
  const std::string second = Win(dir / "second");
  EXPECT_EXIT(
      {
        seam::Reset();
        seam::Arm(seam::Action::kCrash, 2);
        CreateDirectoryA(first.c_str());
        CreateDirectoryA(second.c_str());
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(seam::kCrashExitCode), "");
  EXPECT_TRUE(testing_support::IsFolder(dir / "first"));
  EXPECT_FALSE(Exists(dir / "second"));
}
#endif

}  // namespace
