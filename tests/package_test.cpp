// Tests of the package extractor on real archives written by the test (ZipBuilder) in a
// fresh temporary folder. Paths handed to the extractor use '\' below the temporary folder,
// as the program builds them; checks read the files back with std::filesystem.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "package/ZipExtractor.h"
#include "platform/Host.h"
#include "platform/Paths.h"
#include "platform/Seam.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"

namespace {

namespace fs = std::filesystem;
using package::ZipEntryInfo;
using package::ZipExtractor;
using testing_support::Bytes;
using testing_support::DosDateTime;
using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::ZipBuilder;
using testing_support::ZipEntryOptions;
using testing_support::ZipMethod;

ZipEntryOptions Stored() {
  ZipEntryOptions options;
  options.method = ZipMethod::kStored;
  return options;
}

// Data that deflate shrinks well but not to nothing.
Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7) % 251);
  return bytes;
}

// Every file and folder below `root`, relative, '/'-separated, sorted.
std::vector<std::string> TreeOf(const std::string& root) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    names.push_back(fs::relative(entry.path(), root).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The paths in `actual` name, in order, the files `expected` (full paths in any form).
void ExpectSamePaths(const std::vector<std::string>& actual,
                     const std::vector<std::string>& expected) {
  ASSERT_EQ(actual.size(), expected.size()) << ::testing::PrintToString(actual);
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_TRUE(host::SamePath(actual[i], expected[i]))
        << "entry " << i << ": " << actual[i] << " instead of " << expected[i];
  }
}

class PackageTest : public ::testing::Test {
 protected:
  // '\'-joined path below the temporary folder, as the program builds paths.
  std::string Win(const std::string& relative) const {
    std::string path = dir.path() + "\\" + relative;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(dir.path().size()), path.end(), '/',
                 '\\');
    return path;
  }
  std::string Native(const std::string& relative) const { return dir / relative; }
  std::string Archive(const std::string& name = "Kyr.jxf") const { return Native(name); }
  std::string Destination() const { return Win("D"); }

  TempDir dir;
};

// ---- Paths ---------------------------------------------------------------------------------

TEST(PathRules, ExtensionIsWhatFollowsTheLastDotOfTheLastComponent) {
  struct Case {
    const char* path;
    const char* extension;
    const char* withoutExtension;
  };
  const Case cases[] = {
      {"C:\\Games\\Pkg\\Kyr.jxf", "jxf", "C:\\Games\\Pkg\\Kyr"},
      {"C:\\Games\\Pkg\\a.b.zip", "zip", "C:\\Games\\Pkg\\a.b"},
      {"x.tar.gz", "gz", "x.tar"},
      {"C:\\Games\\Pkg\\Kyr", "", "C:\\Games\\Pkg\\Kyr"},
      {"C:\\dir.d\\Kyr", "", "C:\\dir.d\\Kyr"},
      {"/home/p/dir.d/Kyr", "", "/home/p/dir.d/Kyr"},
      {"data\\.cfg", "cfg", "data\\"},
      {"x.", "", "x"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(package::ExtensionOf(c.path), c.extension);
    EXPECT_EQ(package::WithoutExtension(c.path), c.withoutExtension);
  }
}

TEST(PathRules, JoinAddsOneSeparatorAndNeverOverrunsAPathBuffer) {
  struct Case {
    std::string folder;
    std::string name;
    bool fits;
    std::string joined;
  };
  const std::string long200(200, 'f');
  const Case cases[] = {
      {"C:\\Temp", "Install.cfg", true, "C:\\Temp\\Install.cfg"},
      {"C:\\Temp\\", "data\\x.bin", true, "C:\\Temp\\data\\x.bin"},
      {"/tmp/s/", "x", true, "/tmp/s/x"},
      {"C:", "x", true, "C:\\x"},
      {"C:\\" + long200, std::string(55, 'n'), true, "C:\\" + long200 + "\\" + std::string(55, 'n')},
      {"C:\\" + long200, std::string(56, 'n'), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + " + " + c.name);
    char buffer[host::kMaxPath] = "junk";
    EXPECT_EQ(package::JoinPath(c.folder, c.name, buffer), c.fits);
    EXPECT_EQ(std::string(buffer), c.joined);
  }
}

// ---- Folders -------------------------------------------------------------------------------

TEST_F(PackageTest, MakeDirectoryTreeMakesWhatIsMissingAndListsIt) {
  struct Case {
    const char* label;
    std::vector<std::string> existingFolders;
    std::vector<std::string> existingFiles;
    std::string path;  // below the temporary folder
    bool result;
    std::vector<std::string> made;  // below the temporary folder, in order
  };
  const Case cases[] = {
      {"existing folder", {"a"}, {}, "a", true, {}},
      {"existing file", {}, {"f"}, "f", false, {}},
      {"two missing levels", {"a"}, {}, "a\\b\\c", true, {"a\\b", "a\\b\\c"}},
      {"trailing separator", {}, {}, "n\\", true, {"n"}},
      {"forward slashes", {}, {}, "s/t", true, {"s", "s/t"}},
      {"below a file", {}, {"f"}, "f\\sub", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir root;
    for (const std::string& folder : c.existingFolders) testing_support::MakeFolders(root / folder);
    for (const std::string& file : c.existingFiles) testing_support::WriteFile(root / file, "x");
    const std::vector<std::string> before = TreeOf(root.path());
    package::ExtractionRecord record;
    EXPECT_EQ(package::MakeDirectoryTree((root.path() + "\\" + c.path).c_str(), &record),
              c.result);
    std::vector<std::string> expected;
    for (const std::string& made : c.made) {
      expected.push_back(root.path() + "\\" + made);
      std::string native = root / made;
      std::replace(native.begin(), native.end(), '\\', '/');
      EXPECT_TRUE(testing_support::IsFolder(native)) << made;
    }
    ExpectSamePaths(record.folders, expected);
    if (c.made.empty()) {
      EXPECT_EQ(TreeOf(root.path()), before);
    }
  }
}

TEST_F(PackageTest, MakeDirectoryTreeEdgesAndParentDirectories) {
  char current[host::kMaxPath];
  ASSERT_GT(host::GetCurrentDirectoryA(host::kMaxPath, current), 0u);
  ASSERT_TRUE(host::SetCurrentDirectoryA(dir.path().c_str()));

  EXPECT_TRUE(package::MakeDirectoryTree("plainname"));  // no separator: nothing to make
  EXPECT_FALSE(package::MakeDirectoryTree(""));
  EXPECT_FALSE(package::MakeDirectoryTree(nullptr));
  EXPECT_FALSE(package::MakeParentDirectories("plain.txt"));
  EXPECT_TRUE(TreeOf(dir.path()).empty());

  EXPECT_TRUE(package::MakeParentDirectories(Win("p\\q\\file.txt").c_str()));
  EXPECT_TRUE(testing_support::IsFolder(Native("p/q")));
  EXPECT_FALSE(testing_support::Exists(Native("p/q/file.txt")));
  host::SetCurrentDirectoryA(current);
}

// ---- Open, Close, entry descriptions -------------------------------------------------------

class PackageOpenTest : public PackageTest {
 protected:
  void SetUp() override {
    ASSERT_GT(host::GetCurrentDirectoryA(host::kMaxPath, previous_), 0u);
    ASSERT_TRUE(host::SetCurrentDirectoryA(dir.path().c_str()));
  }
  void TearDown() override { host::SetCurrentDirectoryA(previous_); }

 private:
  char previous_[host::kMaxPath] = {};
};

TEST_F(PackageOpenTest, RelativeNameOpensInTheCurrentFolderAndDefaultsToItsBaseName) {
  struct Case {
    const char* archive;
    const char* defaultFolder;  // null: the default destination is the archive itself
  };
  const Case cases[] = {{"Kyr.jxf", "Kyr"}, {"a.b.zip", "a.b"}, {"Kyr", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    TempDir folder;
    ASSERT_TRUE(host::SetCurrentDirectoryA(folder.path().c_str()));
    ZipBuilder(folder / c.archive).AddFile("Install.cfg", "script").Finish();
    ZipExtractor extractor;
    ASSERT_TRUE(extractor.Open(c.archive)) << extractor.LastProblem();
    if (c.defaultFolder != nullptr) {
      EXPECT_TRUE(extractor.ExtractCurrentEntry(nullptr, false)) << extractor.LastProblem();
      EXPECT_EQ(ReadText(folder / (std::string(c.defaultFolder) + "/Install.cfg")), "script");
    } else {
      EXPECT_FALSE(extractor.ExtractCurrentEntry(nullptr, false));
      EXPECT_EQ(TreeOf(folder.path()), (std::vector<std::string>{"Kyr"}));
    }
    ASSERT_TRUE(host::SetCurrentDirectoryA(dir.path().c_str()));
  }
}

TEST_F(PackageOpenTest, OpenFailsOnWhatIsNoArchiveAndClosesThePreviousOne) {
  testing_support::WriteFile(Native("notes.txt"), "This is not a ZIP archive, only text.");
  testing_support::WriteFile(Native("empty.jxf"), "");
  testing_support::MakeFolders(Native("folder.jxf"));
  ZipBuilder(Archive()).AddFile("Install.cfg", "script").Finish();
  for (const char* name : {"missing.jxf", "notes.txt", "empty.jxf", "folder.jxf", ""}) {
    SCOPED_TRACE(name);
    ZipExtractor extractor("Kyr.jxf");
    ZipEntryInfo info;
    ASSERT_TRUE(extractor.ReadEntryInfo(info));
    EXPECT_FALSE(extractor.Open(name));
    EXPECT_FALSE(extractor.LastProblem().empty());
    EXPECT_FALSE(extractor.ReadEntryInfo(info));
    EXPECT_FALSE(extractor.Close());
  }
  ZipExtractor extractor;
  EXPECT_FALSE(extractor.Open(nullptr));
}

TEST_F(PackageOpenTest, CloseSucceedsOnceOnAnOpenArchive) {
  ZipBuilder(Archive()).AddFile("Install.cfg", "script").Finish();
  ZipExtractor never;
  EXPECT_FALSE(never.Close());

  ZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(Archive().c_str()));
  EXPECT_TRUE(extractor.Close());
  EXPECT_FALSE(extractor.Close());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_FALSE(extractor.MoveToNextEntry());
  EXPECT_FALSE(testing_support::Exists(Native("D")));
}

TEST_F(PackageTest, ReadEntryInfoDescribesTheEntryAsStored) {
  const std::string longName(300, 'L');
  struct Case {
    std::string name;
    std::uint32_t attributes;
    std::string readBack;
    bool isFolder;
  };
  const Case cases[] = {
      {"a/b/c.txt", 0x21, "a\\b\\c.txt", false},
      {"data/", 0x10, "data\\", true},
      {"x/", 0x20, "x\\", false},  // the attribute alone makes a folder
      {longName, 0x20, longName.substr(0, 260), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20));
    ZipEntryOptions options = Stored();
    options.dosDateTime = DosDateTime(1999, 12, 31, 23, 59, 58);
    options.externalAttributes = c.attributes;
    options.comment = "note";
    ZipBuilder(Archive()).AddFile(c.name, "hello", options).Finish();

    ZipExtractor extractor(Archive().c_str());
    ZipEntryInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_TRUE(extractor.ReadEntryInfo(info));
    EXPECT_EQ(std::string(info.name), c.readBack);
    EXPECT_STREQ(info.comment, "note");
    EXPECT_EQ(info.compressionMethod, 0u);
    EXPECT_EQ(info.dosDateTime, DosDateTime(1999, 12, 31, 23, 59, 58));
    EXPECT_EQ(info.crc, 0x3610A686u);  // CRC-32 of "hello"
    EXPECT_EQ(info.compressedSize, 5u);
    EXPECT_EQ(info.uncompressedSize, 5u);
    EXPECT_EQ(info.externalAttributes, c.attributes);
    EXPECT_EQ(info.isFolder, c.isFolder);
  }
}

TEST_F(PackageTest, ReadEntryInfoWithoutArchiveLeavesTheRecordAlone) {
  ZipExtractor extractor;
  ZipEntryInfo info;
  std::memset(&info, 0x5A, sizeof info);
  ZipEntryInfo before;
  std::memcpy(&before, &info, sizeof info);
  EXPECT_FALSE(extractor.ReadEntryInfo(info));
  EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
}

TEST_F(PackageTest, MoveToNextEntrySearchesForwardByExtension) {
  ZipBuilder(Archive())
      .AddFile("x.cfg", "1")
      .AddFile("y.txt", "2")
      .AddFile("z", "3")
      .AddFile("w.Cfg", "4")
      .Finish();
  ZipExtractor extractor(Archive().c_str());
  ZipEntryInfo info;

  // The current entry x.cfg is not considered, and z (no dot) never matches.
  ASSERT_TRUE(extractor.MoveToNextEntry("CFG"));
  ASSERT_TRUE(extractor.ReadEntryInfo(info));
  EXPECT_STREQ(info.name, "w.Cfg");

  // A search that runs out, and a plain move from the last entry, stay on the last entry.
  EXPECT_FALSE(extractor.MoveToNextEntry("cfg"));
  EXPECT_FALSE(extractor.MoveToNextEntry());
  EXPECT_FALSE(extractor.MoveToNextEntry(""));
  ASSERT_TRUE(extractor.ReadEntryInfo(info));
  EXPECT_STREQ(info.name, "w.Cfg");

  ASSERT_TRUE(extractor.Open(Archive().c_str()));
  ASSERT_TRUE(extractor.MoveToNextEntry(""));
  ASSERT_TRUE(extractor.ReadEntryInfo(info));
  EXPECT_STREQ(info.name, "y.txt");
  EXPECT_FALSE(extractor.MoveToNextEntry("t"));  // "txt" is not "t"
}

// ---- Extraction ----------------------------------------------------------------------------

struct LayoutCase {
  const char* label;
  ZipMethod method;
  bool flatten;
  std::vector<std::string> files;    // below D, in archive order
  std::vector<std::string> folders;  // made below the temporary folder, in order
};

void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.label; }

class ExtractLayoutTest : public PackageTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ExtractLayoutTest, WritesEveryEntryAndListsWhatItWrote) {
  const LayoutCase& c = GetParam();
  ZipEntryOptions options;
  options.method = c.method;
  const Bytes big = Pattern(10000);  // several rounds of the copy buffer
  ZipBuilder(Archive())
      .AddFile("Install.cfg", "copyfile x.bin \\x.bin\n", options)
      .AddFile("data/x.bin", big, options)
      .Finish();

  ZipExtractor extractor(Archive().c_str());
  ASSERT_TRUE(extractor.ExtractAll(Destination().c_str(), c.flatten)) << extractor.LastProblem();
  EXPECT_TRUE(extractor.LastProblem().empty());
  EXPECT_EQ(ReadText(Native("D/Install.cfg")), "copyfile x.bin \\x.bin\n");
  EXPECT_EQ(testing_support::ReadFile(Native("D/" + c.files[1])), big);

  std::vector<std::string> files;
  for (const std::string& file : c.files) files.push_back(Win("D\\" + file));
  std::vector<std::string> folders;
  for (const std::string& folder : c.folders) folders.push_back(Win(folder));
  ExpectSamePaths(extractor.Record().files, files);
  ExpectSamePaths(extractor.Record().folders, folders);
}

INSTANTIATE_TEST_SUITE_P(
    Package, ExtractLayoutTest,
    ::testing::Values(
        LayoutCase{"stored", ZipMethod::kStored, false, {"Install.cfg", "data/x.bin"}, {"D", "D\\data"}},
        LayoutCase{"deflated", ZipMethod::kDeflated, false, {"Install.cfg", "data/x.bin"}, {"D", "D\\data"}},
        LayoutCase{"flattened", ZipMethod::kDeflated, true, {"Install.cfg", "x.bin"}, {"D"}}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(PackageTest, FolderEntriesMakeTheirFoldersAndTheWalkGoesOn) {
  ZipBuilder(Archive())
      .AddFolder("data/")
      .AddFile("data/x.bin", "x")
      .AddFolder("empty/")
      .AddFile("Install.cfg", "script")
      .Finish();
  ZipExtractor extractor(Archive().c_str());
  ASSERT_TRUE(extractor.ExtractAll(Destination().c_str(), false)) << extractor.LastProblem();
  EXPECT_EQ(ReadText(Native("D/data/x.bin")), "x");
  EXPECT_TRUE(testing_support::IsFolder(Native("D/empty")));
  ExpectSamePaths(extractor.Record().folders, {Win("D"), Win("D\\data"), Win("D\\empty")});
  ExpectSamePaths(extractor.Record().files, {Win("D\\data\\x.bin"), Win("D\\Install.cfg")});
}

TEST_F(PackageTest, RecordListsOnlyWhatThisExtractionWroteOnce) {
  testing_support::MakeFolders(Native("D/data"));
  testing_support::WriteFile(Native("D/keep.txt"), "not the package's");
  testing_support::WriteFile(Native("D/Install.cfg"), "old script");
  ZipBuilder(Archive())
      .AddFile("Install.cfg", "first")
      .AddFile("data/new/x.bin", "x")
      .AddFile("install.CFG", "second")  // the same file where case does not count
      .Finish();
  ZipExtractor extractor(Archive().c_str());
  ASSERT_TRUE(extractor.ExtractAll(Destination().c_str(), false)) << extractor.LastProblem();
  EXPECT_EQ(ReadText(Native("D/keep.txt")), "not the package's");
  EXPECT_EQ(ReadText(Native("D/Install.cfg")), "second");
  ExpectSamePaths(extractor.Record().files, {Win("D\\Install.cfg"), Win("D\\data\\new\\x.bin")});
  ExpectSamePaths(extractor.Record().folders, {Win("D\\data\\new")});

  // A new Open starts a new record.
  ASSERT_TRUE(extractor.Open(Archive().c_str()));
  EXPECT_TRUE(extractor.Record().files.empty());
  EXPECT_TRUE(extractor.Record().folders.empty());
}

TEST_F(PackageTest, ReadOnlyTargetStopsTheWalk) {
  testing_support::WriteFile(Native("D/Install.cfg"), "old script");
  testing_support::SetReadOnly(Native("D/Install.cfg"), true);
  ZipBuilder(Archive()).AddFile("a.txt", "a").AddFile("Install.cfg", "new").AddFile("z.txt", "z").Finish();
  ZipExtractor extractor(Archive().c_str());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_NE(extractor.LastProblem().find("Install.cfg"), std::string::npos) << extractor.LastProblem();
  EXPECT_EQ(ReadText(Native("D/Install.cfg")), "old script");
  EXPECT_FALSE(testing_support::Exists(Native("D/z.txt")));
  ExpectSamePaths(extractor.Record().files, {Win("D\\a.txt")});
}

TEST_F(PackageTest, FailedWriteStopsTheWalkAndLeavesTheFileListedForCleanUp) {
  ZipBuilder(Archive()).AddFile("a.txt", "a").AddFile("Data/ship.dat", Pattern(5000)).Finish();
  // Find the first write into ship.dat on a dry run, then let that write fail as on a
  // full disk.
  std::uint64_t shipWrite = 0;
  {
    ZipExtractor dryRun(Archive().c_str());
    host::seam::Reset();
    host::seam::SetRecording(true);
    ASSERT_TRUE(dryRun.ExtractAll(Win("dry").c_str(), false)) << dryRun.LastProblem();
    const std::vector<std::string>& calls = host::seam::Recorded();
    for (std::size_t i = 0; i < calls.size() && shipWrite == 0; ++i) {
      if (calls[i].starts_with("WriteFile ") && calls[i].find("ship.dat") != std::string::npos) {
        shipWrite = i + 1;
      }
    }
    host::seam::Reset();
  }
  ASSERT_NE(shipWrite, 0u);

  ZipExtractor extractor(Archive().c_str());
  host::seam::Reset();
  host::seam::Arm(host::seam::Action::kFail, shipWrite);
  const bool extracted = extractor.ExtractAll(Destination().c_str(), false);
  host::seam::Reset();
  EXPECT_FALSE(extracted);
  EXPECT_NE(extractor.LastProblem().find("Data\\ship.dat: cannot be written"), std::string::npos)
      << extractor.LastProblem();
  ExpectSamePaths(extractor.Record().files, {Win("D\\a.txt"), Win("D\\Data\\ship.dat")});
}

TEST_F(PackageTest, DestinationThatIsAFileOrMissingWritesNothing) {
  ZipBuilder(Archive()).AddFile("Install.cfg", "script").Finish();
  testing_support::WriteFile(Native("D"), "a file, not a folder");
  ZipExtractor extractor(Archive().c_str());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_FALSE(extractor.ExtractAll(nullptr, false));
  EXPECT_FALSE(extractor.ExtractAll("", false));
  EXPECT_EQ(ReadText(Native("D")), "a file, not a folder");
  EXPECT_TRUE(extractor.Record().files.empty());
}

TEST_F(PackageTest, ArchiveWithoutEntriesFailsAfterMakingTheDestination) {
  ZipBuilder(Archive(), testing_support::ToBytes("stub")).Finish();
  ZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(Archive().c_str())) << extractor.LastProblem();
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_FALSE(extractor.LastProblem().empty());
  EXPECT_TRUE(testing_support::IsFolder(Native("D")));
}

TEST_F(PackageTest, UnreadableEntryLeavesAnEmptyFileAndStopsTheWalk) {
  struct Case {
    const char* label;
    std::function<void(const std::string& archive)> change;
  };
  const Case cases[] = {
      // minizip would pass bzip2 data on undecoded.
      {"bzip2", [](const std::string& a) { testing_support::SetZipMethod(a, "odd.bin", 12); }},
      {"unknown method", [](const std::string& a) { testing_support::SetZipMethod(a, "odd.bin", 99); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir folder;
    const std::string archive = folder / "Kyr.jxf";
    ZipBuilder(archive)
        .AddFile("a.txt", "a", Stored())
        .AddFile("odd.bin", "odd data", Stored())
        .AddFile("z.txt", "z", Stored())
        .Finish();
    c.change(archive);
    ZipExtractor extractor(archive.c_str());
    EXPECT_FALSE(extractor.ExtractAll((folder.path() + "\\D").c_str(), false));
    EXPECT_NE(extractor.LastProblem().find("odd.bin"), std::string::npos) << extractor.LastProblem();
    EXPECT_EQ(ReadText(folder / "D/a.txt"), "a");
    ASSERT_TRUE(testing_support::Exists(folder / "D/odd.bin"));
    EXPECT_EQ(fs::file_size(folder / "D/odd.bin"), 0u);
    EXPECT_FALSE(testing_support::Exists(folder / "D/z.txt"));
    // The empty file is the extraction's: listed, so that clean-up removes it.
    ExpectSamePaths(extractor.Record().files,
                    {folder.path() + "\\D\\a.txt", folder.path() + "\\D\\odd.bin"});
  }
}

// Data that do not match their entry make that entry fail, and the damaged file is removed:
// a player must never be left with a corrupted game file taken for the package's.
struct DamageCase {
  const char* label;
  ZipMethod method;
  std::function<void(const std::string& archive)> damage;
  const char* problem;
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.label; }

class DamagedDataTest : public PackageTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedDataTest, EntryFailsAndItsFileIsRemoved) {
  const DamageCase& c = GetParam();
  ZipEntryOptions options;
  options.method = c.method;
  ZipBuilder(Archive())
      .AddFile("a.txt", "a")
      .AddFile("Data/ship.dat", Pattern(5000), options)
      .AddFile("z.txt", "z")
      .Finish();
  c.damage(Archive());

  ZipExtractor extractor(Archive().c_str());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_EQ(extractor.LastProblem(), std::string("Data\\ship.dat: ") + c.problem);
  EXPECT_EQ(ReadText(Native("D/a.txt")), "a");
  EXPECT_FALSE(testing_support::Exists(Native("D/Data/ship.dat")));
  EXPECT_FALSE(testing_support::Exists(Native("D/z.txt")));
  ExpectSamePaths(extractor.Record().files, {Win("D\\a.txt")});
}

INSTANTIATE_TEST_SUITE_P(
    Package, DamagedDataTest,
    ::testing::Values(
        DamageCase{"StoredByteFlipped", ZipMethod::kStored,
                   [](const std::string& a) { testing_support::FlipZipDataByte(a, "Data/ship.dat", 4321); },
                   "CRC-32 mismatch, the package is damaged"},
        DamageCase{"CrcChanged", ZipMethod::kDeflated,
                   [](const std::string& a) { testing_support::SetZipCrc(a, "Data/ship.dat", 0x12345678); },
                   "CRC-32 mismatch, the package is damaged"},
        DamageCase{"InflatesBeyondAnnouncedSize", ZipMethod::kDeflated,
                   [](const std::string& a) {
                     testing_support::SetZipUncompressedSize(a, "Data/ship.dat", 4000);
                   },
                   "CRC-32 mismatch, the package is damaged"},
        DamageCase{"StoredLongerThanAnnounced", ZipMethod::kStored,
                   [](const std::string& a) {
                     testing_support::SetZipUncompressedSize(a, "Data/ship.dat", 2048);
                   },
                   "CRC-32 mismatch, the package is damaged"},
        DamageCase{"EndsBeforeAnnouncedSize", ZipMethod::kDeflated,
                   [](const std::string& a) {
                     testing_support::SetZipUncompressedSize(a, "Data/ship.dat", 6000);
                   },
                   "its data end before their announced size, the package is damaged"},
        DamageCase{"DeflateStreamBroken", ZipMethod::kDeflated,
                   [](const std::string& a) {
                     testing_support::SetZipDataByte(a, "Data/ship.dat", 0, 0x07);
                   },
                   "its data cannot be unpacked, the package is damaged"}),
    [](const auto& test) { return std::string(test.param.label); });

// Names from the package are refused when they would leave the destination, mean another
// file on Windows, or not fit a path buffer; nothing of such an entry is written anywhere.
struct NameCase {
  const char* label;
  std::string name;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.label; }

class RefusedNameTest : public PackageTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(RefusedNameTest, EntryIsRefusedAndNothingOfItIsWritten) {
  const NameCase& c = GetParam();
  ZipBuilder(Archive()).AddFile(c.name, "payload").AddFile("after.txt", "after").Finish();
  ZipExtractor extractor(Archive().c_str());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_FALSE(extractor.LastProblem().empty());
  // The destination is made first; nothing else appears anywhere in the temporary folder.
  EXPECT_EQ(TreeOf(dir.path()), (std::vector<std::string>{"D", "Kyr.jxf"}));
  EXPECT_TRUE(extractor.Record().files.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Package, RefusedNameTest,
    ::testing::Values(NameCase{"ParentComponent", "../x"},
                      NameCase{"ParentInside", "a/../../x"},
                      NameCase{"Absolute", "/x"},
                      NameCase{"BackslashAbsolute", "\\x"},
                      NameCase{"Unc", "//server/share/x"},
                      NameCase{"Drive", "C:x"},
                      NameCase{"DriveAbsolute", "C:/x"},
                      NameCase{"Colon", "a/b:stream"},
                      NameCase{"ReservedDevice", "CON"},
                      NameCase{"ReservedWithExtension", "data/aux.txt"},
                      NameCase{"ReservedComPort", "com1.cfg"},
                      NameCase{"TrailingDot", "x."},
                      NameCase{"TrailingSpace", "data /x"},
                      NameCase{"ControlCharacter", "a\tb"},
                      NameCase{"EmptyComponent", "a//b"},
                      NameCase{"FolderNameWithoutFolderBit", "data/"},
                      NameCase{"LongerThanTheRecord", std::string(300, 'n')},
                      // Fits the record but not the destination's path buffer.
                      NameCase{"LongerThanThePath", std::string(250, 'n')}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(PackageTest, DamagedListOfFilesIsRefusedBeforeAnythingIsWritten) {
  ZipBuilder(Archive()).AddFile("a.txt", "a").AddFile("b.txt", "b").AddFile("c.txt", "c").Finish();
  // Break the signature of the second central directory record: the walk cannot move past
  // the first entry, although the end record counts three.
  Bytes bytes = testing_support::ReadFile(Archive());
  bytes.at(testing_support::ReadZipLayout(Archive()).at(1).centralHeader) ^= 0xFF;
  testing_support::WriteFile(Archive(), bytes);

  ZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(Archive().c_str())) << extractor.LastProblem();
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_NE(extractor.LastProblem().find("damaged"), std::string::npos) << extractor.LastProblem();
  EXPECT_TRUE(TreeOf(Native("D")).empty());
}

TEST_F(PackageTest, EntriesThatShareTheirDataAreRefusedBeforeAnythingIsWritten) {
  const Bytes data = Pattern(3000);
  ZipBuilder(Archive()).AddFile("a.bin", data).AddFile("b.bin", data).Finish();
  {
    ZipExtractor control(Archive().c_str());
    ASSERT_TRUE(control.ExtractAll(Win("control").c_str(), false)) << control.LastProblem();
  }
  testing_support::ShareZipData(Archive(), "b.bin", "a.bin");
  ZipExtractor extractor(Archive().c_str());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_NE(extractor.LastProblem().find("overlap"), std::string::npos) << extractor.LastProblem();
  EXPECT_TRUE(TreeOf(Native("D")).empty());
  EXPECT_TRUE(extractor.Record().files.empty());
}

TEST_F(PackageTest, ExpansionLimitBoundsWhatThePackageAnnounces) {
  ZipBuilder(Archive())
      .AddFile("a.bin", Pattern(1000))
      .AddFile("b.bin", Pattern(1000))
      .AddFile("c.bin", Pattern(1000))
      .Finish();
  {
    ZipExtractor extractor(Archive().c_str());
    extractor.SetExpansionLimit(2999);
    EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
    EXPECT_NE(extractor.LastProblem().find("2999 bytes"), std::string::npos)
        << extractor.LastProblem();
    EXPECT_TRUE(TreeOf(Native("D")).empty());
  }
  {
    ZipExtractor extractor(Archive().c_str());
    extractor.SetExpansionLimit(3000);
    EXPECT_TRUE(extractor.ExtractAll(Destination().c_str(), false)) << extractor.LastProblem();
  }
  {
    // Entry by entry, the limit counts what was written before.
    ZipExtractor extractor(Archive().c_str());
    extractor.SetExpansionLimit(1500);
    EXPECT_TRUE(extractor.ExtractCurrentEntry(Win("E").c_str(), false));
    ASSERT_TRUE(extractor.MoveToNextEntry());
    EXPECT_FALSE(extractor.ExtractCurrentEntry(Win("E").c_str(), false));
    EXPECT_EQ(TreeOf(Native("E")), (std::vector<std::string>{"a.bin"}));
  }
}

TEST_F(PackageTest, DefaultExpansionLimitRefusesAPackageAnnouncingOverFourGibibytes) {
  ZipBuilder(Archive()).AddFile("a.bin", Pattern(10)).AddFile("b.bin", Pattern(10)).Finish();
  // Together one byte more than 4 GiB.
  testing_support::SetZipUncompressedSize(Archive(), "a.bin", 0x80000000u);
  testing_support::SetZipUncompressedSize(Archive(), "b.bin", 0x80000001u);
  ZipExtractor extractor(Archive().c_str());
  EXPECT_FALSE(extractor.ExtractAll(Destination().c_str(), false));
  EXPECT_NE(extractor.LastProblem().find("4096 MiB"), std::string::npos) << extractor.LastProblem();
  EXPECT_TRUE(TreeOf(Native("D")).empty());
}

// ---- Times ---------------------------------------------------------------------------------

void SetTimeZone(const char* zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone);
  _tzset();
#else
  if (zone[0] == '\0') {
    unsetenv("TZ");
  } else {
    setenv("TZ", zone, 1);
  }
  tzset();
#endif
}

std::int64_t UnixSeconds(const host::FILETIME& time) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600;
}

struct ZoneCase {
  const char* label;
  const char* tz;  // POSIX form: the offset is west of UTC, so "<+0530>-5:30" is UTC+5:30
  int eastOfUtcMinutes;
};

void PrintTo(const ZoneCase& c, std::ostream* out) { *out << c.label; }

class TimestampTest : public PackageTest, public ::testing::WithParamInterface<ZoneCase> {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes its time zone from the system, not from TZ";
#endif
    const char* previous = std::getenv("TZ");
    previousZone_ = previous != nullptr ? previous : "";
    SetTimeZone(GetParam().tz);
  }
  void TearDown() override { SetTimeZone(previousZone_.c_str()); }

 private:
  std::string previousZone_;
};

TEST_P(TimestampTest, FileTimesAreTheEntryTimeReadAsLocalTime) {
  using namespace std::chrono;
  ZipEntryOptions options;
  options.dosDateTime = DosDateTime(2003, 7, 14, 9, 26, 40);
  ZipBuilder(Archive()).AddFile("Data/ship.dat", "ship", options).Finish();
  ZipExtractor extractor(Archive().c_str());
  ASSERT_TRUE(extractor.ExtractAll(Destination().c_str(), false)) << extractor.LastProblem();

  const sys_seconds local = sys_days{year{2003} / 7 / 14} + hours{9} + minutes{26} + seconds{40};
  const std::int64_t expected =
      (local - minutes{GetParam().eastOfUtcMinutes}).time_since_epoch().count();
  const std::string target = Native("D/Data/ship.dat");
  const auto written = file_clock::to_sys(fs::last_write_time(target));
  EXPECT_EQ(duration_cast<seconds>(written.time_since_epoch()).count(), expected);

  // The creation time too, where the file system keeps one that can be set.
  const host::HANDLE file = host::CreateFileA(target.c_str(), host::kGenericRead, host::kOpenExisting);
  ASSERT_NE(file, host::kInvalidHandle);
  host::FILETIME creation{}, access{}, write{};
  ASSERT_TRUE(host::GetFileTime(file, &creation, &access, &write));
  host::CloseHandle(file);
  EXPECT_EQ(UnixSeconds(write), expected);
  const std::string probe = Native("probe");
  testing_support::WriteFile(probe, "p");
  const host::HANDLE probeFile =
      host::CreateFileA(probe.c_str(), host::kGenericRead | host::kGenericWrite, host::kOpenExisting);
  ASSERT_NE(probeFile, host::kInvalidHandle);
  host::SetFileTime(probeFile, &write, nullptr, nullptr);
  host::FILETIME probeCreation{};
  host::GetFileTime(probeFile, &probeCreation, nullptr, nullptr);
  host::CloseHandle(probeFile);
  if (UnixSeconds(probeCreation) == expected) {
    EXPECT_EQ(UnixSeconds(creation), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Package, TimestampTest,
                         ::testing::Values(ZoneCase{"Utc", "UTC0", 0},
                                           ZoneCase{"IndiaPlus0530", "<+0530>-5:30", 330},
                                           ZoneCase{"PacificMinus8", "<-08>8", -480}),
                         [](const auto& test) { return std::string(test.param.label); });

TEST_F(PackageTest, ApplyDosTimestampOnMissingFileFails) {
  EXPECT_FALSE(package::ApplyDosTimestamp(Win("missing.bin").c_str(), testing_support::kDefaultDosDateTime));
}

}  // namespace
