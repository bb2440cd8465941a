// End-to-end tests of kyrpatch: real packages in a fresh package folder, a real game folder,
// the command line run in-process (the same code as the program's main).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Host.h"
#include "platform/Paths.h"
#include "tests/support/RunKyrpatch.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"

namespace {

using testing_support::Bytes;
using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::ReadText;
using testing_support::Snapshot;
using testing_support::TempDir;
using testing_support::ToBytes;
using testing_support::WriteFile;
using testing_support::ZipBuilder;

// 13 header bytes, a count, then records of offset, length and data.
Bytes BytePatch(const std::vector<std::pair<std::uint32_t, std::string>>& records) {
  Bytes patch = ToBytes("KYR PATCH 1.0");
  patch.push_back(static_cast<std::uint8_t>(records.size() & 0xFF));
  patch.push_back(static_cast<std::uint8_t>(records.size() >> 8));
  for (const auto& [offset, data] : records) {
    for (int shift = 0; shift < 32; shift += 8) {
      patch.push_back(static_cast<std::uint8_t>(offset >> shift));
    }
    patch.push_back(static_cast<std::uint8_t>(data.size()));
    patch.insert(patch.end(), data.begin(), data.end());
  }
  return patch;
}

testing_support::ZipEntryOptions Stored() {
  testing_support::ZipEntryOptions options;
  options.method = testing_support::ZipMethod::kStored;
  return options;
}

using testing_support::Outcome;

class KyrpatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char current[host::kMaxPath];
    ASSERT_GT(host::GetCurrentDirectoryA(host::kMaxPath, current), 0u);
    previousDirectory_ = current;
    package_ = root_ / "patch folder";
    game_ = root_ / "Game Folder";
    testing_support::MakeFolders(package_);
    WriteFile(game_ + "/Data/ship1.dat", "original ship one");
    WriteFile(game_ + "/Data/Art/hud2.dat", "original hud two");
    WriteFile(game_ + "/Flight/ships.lst", "speed=090 turn=070");
    testing_support::MakeFolders(game_ + "/JXPatch");
  }

  void TearDown() override { host::SetCurrentDirectoryA(previousDirectory_.c_str()); }

  // The package every test installs unless it builds its own: two replacements (one in a
  // package subfolder), a new file, and a byte patch.
  void WritePackage() {
    ZipBuilder(package_ + "/Kyr.jxf")
        .AddFile("Install.cfg",
                 "copyfile ship1.dat \\Data\r\n"
                 "copyfile kyr9.dat \\Data\r\n"
                 "copyfile Art\\hud2.dat \\Data\r\n"
                 "patchfile speed.bpf Flight\\ships.lst\r\n")
        .AddFile("ship1.dat", "patched ship one")
        .AddFile("kyr9.dat", "a new ship")
        .AddFile("Art/hud2.dat", "patched hud two")
        .AddFile("speed.bpf", BytePatch({{6, "115"}}))
        .Finish();
  }

  Outcome Run(const std::vector<std::string>& args) {
    return testing_support::RunKyrpatch(package_, args, previousDirectory_);
  }

  TempDir root_;
  std::string package_;
  std::string game_;
  std::string previousDirectory_;
};

TEST_F(KyrpatchTest, InstallThenUninstallGivesBackEveryOriginalByte) {
  WritePackage();
  const auto before = Snapshot(game_);

  const Outcome install = Run({"install", "--game", game_});
  ASSERT_EQ(install.code, 0) << install.err;
  EXPECT_EQ(install.out, "Patch Installed!\n");
  EXPECT_EQ(install.err, "");
  EXPECT_EQ(ReadText(game_ + "/Data/ship1.dat"), "patched ship one");
  EXPECT_EQ(ReadText(game_ + "/Data/kyr9.dat"), "a new ship");
  EXPECT_EQ(ReadText(game_ + "/Data/Art/hud2.dat"), "patched hud two");
  EXPECT_EQ(ReadText(game_ + "/Flight/ships.lst"), "speed=115 turn=070");
  EXPECT_EQ(ReadText(game_ + "/JXPatch/Back.JX"), "This is a flag, do not delete.");
  EXPECT_FALSE(Exists(package_ + "/Temp")) << "the staging folder is cleaned up";

  const Outcome status = Run({"status"});
  EXPECT_EQ(status.code, 0);
  // The log holds the full path the way the system writes it ('\' on Windows).
  const std::string firstLine = status.out.substr(0, status.out.find('\n'));
  EXPECT_TRUE(host::SamePath(firstLine, "Installed into: " + game_)) << status.out;
  EXPECT_NE(status.out.find("added"), std::string::npos) << "kyr9.dat had no original";

  const Outcome uninstall = Run({"uninstall"});
  ASSERT_EQ(uninstall.code, 0) << uninstall.err;
  EXPECT_EQ(uninstall.out, "Patch Uninstalled!\n");

  // The added file stays (it has no original); everything else is as before.
  auto after = Snapshot(game_);
  std::erase_if(after, [](const auto& file) { return file.first == "Data/kyr9.dat"; });
  EXPECT_EQ(after, before);
  EXPECT_FALSE(Exists(package_ + "/QUARN Backup"));
  EXPECT_EQ(Run({"status"}).out, "No install is recorded in this package folder.\n");
}

TEST_F(KyrpatchTest, MissingPackageSaysSoAndChangesNothing) {
  const auto before = Snapshot(root_.path());
  const Outcome install = Run({"install", "--game", game_});
  EXPECT_EQ(install.code, 1);
  EXPECT_EQ(install.out, "");
  EXPECT_EQ(install.err, "Can't find installion package!  Aborting install!\n");
  EXPECT_EQ(Snapshot(root_.path()), before);
  EXPECT_FALSE(Exists(package_ + "/QUARN Backup"));
}

TEST_F(KyrpatchTest, DamagedPackageLeavesTheGameUntouched) {
  struct Case {
    const char* name;
    void (*damage)(const std::string& archive);
  };
  const Case cases[] = {
      {"no ZIP archive", [](const std::string& archive) { WriteFile(archive, "not a zip"); }},
      {"data no longer match their CRC-32",
       [](const std::string& archive) { testing_support::FlipZipDataByte(archive, "ship1.dat"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZipBuilder(package_ + "/Kyr.jxf")
        .AddFile("Install.cfg", "copyfile ship1.dat \\Data\r\n")
        .AddFile("ship1.dat", "patched ship one", Stored())
        .Finish();
    c.damage(package_ + "/Kyr.jxf");
    const auto game = Snapshot(game_);

    const Outcome install = Run({"install", "--game", game_});
    EXPECT_EQ(install.code, 1);
    EXPECT_EQ(install.out, "");
    EXPECT_NE(install.err.find("Patch not installed."), std::string::npos) << install.err;
    EXPECT_NE(install.err.find("could not be extracted"), std::string::npos) << install.err;
    EXPECT_NE(install.err.find("No game file was changed."), std::string::npos) << install.err;
    EXPECT_EQ(Snapshot(game_), game);
    EXPECT_FALSE(Exists(package_ + "/Temp/ship1.dat")) << "nothing of the package is left";
    EXPECT_FALSE(Exists(package_ + "/QUARN Backup/Uninstall.cfg"));
  }
}

TEST_F(KyrpatchTest, SecondInstallBeforeUninstallKeepsTheTrueOriginals) {
  WritePackage();
  const auto before = Snapshot(game_);
  ASSERT_EQ(Run({"install", "--game", game_}).code, 0);
  const Outcome second = Run({"install", "--game", game_});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(ReadText(game_ + "/Flight/ships.lst"), "speed=115 turn=070");

  ASSERT_EQ(Run({"uninstall"}).code, 0);
  auto after = Snapshot(game_);
  std::erase_if(after, [](const auto& file) { return file.first == "Data/kyr9.dat"; });
  EXPECT_EQ(after, before) << "a second install must not save patched files as originals";
}

TEST_F(KyrpatchTest, StagingFolderKeepsFilesThatAreNotThePackages) {
  WritePackage();
  WriteFile(package_ + "/Temp/notes.txt", "the player's own file");
  ASSERT_EQ(Run({"install", "--game", game_}).code, 0);
  EXPECT_EQ(ReadText(package_ + "/Temp/notes.txt"), "the player's own file");
  EXPECT_FALSE(Exists(package_ + "/Temp/ship1.dat"));
  EXPECT_FALSE(Exists(package_ + "/Temp/Art"));
}

TEST_F(KyrpatchTest, GameFolderThatDoesNotExistIsRefusedBeforeAnythingChanges) {
  WritePackage();
  const auto before = Snapshot(root_.path());
  const Outcome install = Run({"install", "--game", root_ / "no such game"});
  EXPECT_EQ(install.code, 1);
  EXPECT_NE(install.err.find("does not exist"), std::string::npos) << install.err;
  EXPECT_EQ(Snapshot(root_.path()), before);
}

TEST_F(KyrpatchTest, UninstallWithoutAnInstallFails) {
  const Outcome uninstall = Run({"uninstall"});
  EXPECT_EQ(uninstall.code, 1);
  EXPECT_EQ(uninstall.out, "");
  EXPECT_NE(uninstall.err.find("Patch not fully uninstalled."), std::string::npos);
}

TEST_F(KyrpatchTest, StatusOfAMalformedLogFails) {
  WriteFile(package_ + "/QUARN Backup/Uninstall.cfg",
            game_ + "\r\n/elsewhere/ship1.dat\r\n" + game_ + "/Data/ship1.dat\r\n");
  const Outcome status = Run({"status"});
  EXPECT_EQ(status.code, 1);
  EXPECT_NE(status.err.find("cannot be used"), std::string::npos) << status.err;
}

TEST(KyrpatchCommandLine, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<const char*>> cases = {
      {"kyrpatch"},
      {"kyrpatch", "frobnicate"},
      {"kyrpatch", "install", "--game"},
      {"kyrpatch", "install", "--prefix"},
      {"kyrpatch", "install", "--game", "x", "--prefix", "y"},
      {"kyrpatch", "status", "--prefix", "y"},
      {"kyrpatch", "find-game", "--game", "x"},
      {"kyrpatch", "uninstall", "--bogus"},
      {"kyrpatch", "status", "extra"},
      {"kyrpatch", "-C"},
      {"kyrpatch", "uninstall", "--game", "x"},
  };
  for (const auto& argv : cases) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
    SCOPED_TRACE(argv.size() > 1 ? argv[1] : "(none)");
    EXPECT_EQ(code, 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("usage: kyrpatch"), std::string::npos) << err.str();
  }
}

TEST(KyrpatchCommandLine, HelpAndVersion) {
  for (const char* option : {"--help", "-h", "--version"}) {
    const char* argv[] = {"kyrpatch", option};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::Run(2, argv, out, err), 0) << option;
    EXPECT_NE(out.str().find("kyrpatch"), std::string::npos) << option;
    EXPECT_EQ(err.str(), "");
  }
}

}  // namespace
