// The whole install and uninstall as a player runs them (package check, extraction of a
// real Kyr.jxf, install script, uninstall log), with the process ended or one host
// operation failing at every step. Whatever happens, every game file keeps or gets back its
// original bytes and last-write time, a file the install added is absent or whole, no saved
// copy is lost, nothing outside the game and package folders changes, and no failure is
// reported as success.
//
// Each suite prints how many operations the run performs and how many it covered, so the
// figures in the reliability notes can be checked against the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Host.h"
#include "platform/Seam.h"
#include "sequences/Sequences.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::Exists;
using testing_support::MakeFolders;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::ToBytes;
using testing_support::WriteFile;
using testing_support::ZipBuilder;

Bytes BytePatch(const std::vector<std::pair<std::uint32_t, Bytes>>& records) {
  Bytes bytes(13, 'H');
  bytes.push_back(static_cast<std::uint8_t>(records.size()));
  bytes.push_back(0);
  for (const auto& [offset, data] : records) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<std::uint8_t>(offset >> shift));
    }
    bytes.push_back(static_cast<std::uint8_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  return bytes;
}

// What a file looks like to a player: its bytes, its last-write time, whether it is
// read-only. Folders are listed by name only (their times change with their entries).
struct FileState {
  Bytes content;
  std::int64_t lastWrite = 0;
  bool readOnly = false;
  bool operator==(const FileState&) const = default;
};
using Tree = std::map<std::string, FileState>;

Tree Snapshot(const std::string& root, const std::vector<std::string>& skip = {}) {
  Tree tree;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string relative = fs::relative(it->path(), root).generic_string();
    if (std::find(skip.begin(), skip.end(), relative) != skip.end()) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_symlink() || it->is_directory()) {
      tree[relative + "/"] = {};
      continue;
    }
    const auto since = it->last_write_time().time_since_epoch();
    tree[relative] = {ReadFile(it->path().string()),
                      std::chrono::duration_cast<std::chrono::nanoseconds>(since).count(),
                      (it->status().permissions() & fs::perms::owner_write) == fs::perms::none};
  }
  return tree;
}

std::string Describe(const engine::Report& report) {
  std::string text;
  for (const engine::Problem& problem : report.Problems()) {
    text += (problem.severity == engine::Severity::kFailure ? "failure: " : "warning: ") +
            problem.text + "\n";
  }
  return text;
}

bool ReportsFailure(const engine::Report& report) {
  for (const engine::Problem& problem : report.Problems()) {
    if (problem.severity == engine::Severity::kFailure && !problem.text.empty()) return true;
  }
  return false;
}

// The current directory is the package folder while an object lives.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~InFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  fs::path previous_;
};

// A temporary world: the package folder with Kyr.jxf, the game folder, and a folder of
// the player's own beside them that nothing may touch. The package replaces two game files
// (one in a subfolder), adds one, and byte-patches two (one of them lengthened).
class World {
 public:
  World() {
    WriteFile(game + "/Data/ship1.dat", "original ship1");
    WriteFile(game + "/Data/Art/hud2.dat", "original hud2");
    WriteFile(game + "/Data/ship2.dat", "original ship2 bytes");
    WriteFile(game + "/Data/ship3.dat", "ship3");
    WriteFile(game + "/Data/other.dat", "left alone");
    MakeFolders(game + "/JXPatch");
    WriteFile(temp / "Saves/pilot.plt", "the player's own");
    MakeFolders(package);
    ZipBuilder zip(package + "/" + sequences::kPackageName);
    zip.AddFile("Install.cfg",
                "copyfile ship1.dat \\Data\r\n"
                "copyfile hud2.dat \\Data\\Art\r\n"
                "copyfile new3.dat \\Data\r\n"
                "patchfile ship2.pat Data\\ship2.dat\r\n"
                "patchfile ship3.pat Data\\ship3.dat\r\n");
    zip.AddFile("ship1.dat", "new ship1");
    zip.AddFile("hud2.dat", "new hud2");
    zip.AddFile("new3.dat", "new3");
    zip.AddFile("ship2.pat", BytePatch({{0, ToBytes("P")}, {7, ToBytes("XY")}}));
    zip.AddFile("ship3.pat", BytePatch({{2, ToBytes("!")}, {9, ToBytes("end")}}));
    zip.Finish();
    // Times in whole seconds of the past, so that a restore that loses them shows.
    for (const char* name : {"Data/ship1.dat", "Data/Art/hud2.dat", "Data/ship2.dat",
                             "Data/ship3.dat", "Data/other.dat"}) {
      fs::last_write_time(game + "/" + name,
                          fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
    }
    originals = Snapshot(game);
    outside = Outside();
    packageFile = ReadFile(package + "/" + sequences::kPackageName);
  }

  TempDir temp;
  const std::string package = temp / "Kyr Patch";
  const std::string game = temp / "Games/XvT";

  Tree originals;
  Tree outside;
  Bytes packageFile;

  // Everything below the temporary folder but the game and package folders.
  Tree Outside() const { return Snapshot(temp.path(), {"Kyr Patch", "Games/XvT"}); }

  sequences::InstallResult Install() const {
    InFolder in(package);
    return sequences::Install(game.c_str());
  }
  sequences::UninstallResult Uninstall() const {
    InFolder in(package);
    return sequences::Uninstall();
  }

  // The state after a complete install: what the package says, the rest as it was.
  void ExpectInstalled(const std::string& when) const {
    const Tree now = Snapshot(game);
    EXPECT_EQ(ReadFile(game + "/Data/ship1.dat"), ToBytes("new ship1")) << when;
    EXPECT_EQ(ReadFile(game + "/Data/Art/hud2.dat"), ToBytes("new hud2")) << when;
    EXPECT_EQ(ReadFile(game + "/Data/new3.dat"), ToBytes("new3")) << when;
    EXPECT_EQ(ReadFile(game + "/Data/ship2.dat"), ToBytes("PriginaXYship2 bytes")) << when;
    EXPECT_EQ(ReadFile(game + "/Data/ship3.dat"), ToBytes(std::string("sh!p3\0\0\0\0end", 12)))
        << when;
    EXPECT_EQ(now.at("Data/other.dat"), originals.at("Data/other.dat")) << when;
    ExpectNothingElseChanged(when);
  }

  // Every original holds its bytes and times again; the added file is absent or whole.
  void ExpectOriginals(const std::string& when) const {
    Tree now = Snapshot(game);
    if (auto added = now.find("Data/new3.dat"); added != now.end()) {
      EXPECT_EQ(added->second.content, ToBytes("new3")) << when;
      now.erase(added);
    }
    // The flag file may stay behind an interrupted run: it only marks the game as patched.
    now.erase("JXPatch/Back.JX");
    EXPECT_EQ(now, originals) << when;
    ExpectNothingElseChanged(when);
  }

  void ExpectNothingElseChanged(const std::string& when) const {
    EXPECT_EQ(Outside(), outside) << when;
    EXPECT_EQ(ReadFile(package + "/" + sequences::kPackageName), packageFile) << when;
    for (const auto& [name, state] : Snapshot(game)) {
      EXPECT_EQ(name.find(host::kTemporarySuffix), std::string::npos) << when << ": " << name;
    }
  }

  // Every original that the run may change is still in its game file or whole in a saved
  // copy: nothing the uninstall needs was lost.
  void ExpectNoSavedCopyLost(const std::string& when) const {
    const Tree saved = Snapshot(package + "/QUARN Backup");
    for (const char* name : {"Data/ship1.dat", "Data/Art/hud2.dat", "Data/ship2.dat",
                             "Data/ship3.dat"}) {
      const Bytes& original = originals.at(name).content;
      bool kept = ReadFile(game + "/" + name) == original;
      const std::string base = fs::path(name).filename().string();
      for (const auto& [path, state] : saved) {
        kept |= fs::path(path).filename().string() == base && state.content == original;
      }
      EXPECT_TRUE(kept) << when << ": the original of " << name << " is lost";
    }
  }
};

// Runs `run` once with the seam counting, and returns the number of host operations.
std::uint64_t CountOperations(const std::function<void()>& run) {
  host::seam::Reset();
  run();
  const std::uint64_t count = host::seam::Count();
  host::seam::Reset();
  return count;
}

// One line per figure, in a form the figures script picks up.
void PrintFigure(const std::string& what, std::uint64_t operations, std::uint64_t covered) {
  std::cout << "[ figure ] " << what << ": " << operations << " host operations, " << covered
            << " covered\n";
  EXPECT_EQ(covered, operations) << what;
}

// Ends a forked child at host operation `k` of `run`; false (with a test failure) when the
// child did not end there.
void CrashAt(std::uint64_t k, const std::function<void()>& run) {
  EXPECT_EXIT(
      {
        host::seam::Reset();
        host::seam::Arm(host::seam::Action::kCrash, k);
        run();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(host::seam::kCrashExitCode), "")
      << "operation " << k;
  host::seam::Reset();
}

class Reliability : public ::testing::Test {
 protected:
  void SetUp() override { host::seam::Reset(); }
  void TearDown() override { host::seam::Reset(); }
};

TEST_F(Reliability, InstalledTwiceAndUninstalledTwiceGivesTheOriginalsBack) {
  World w;
  for (int round = 1; round <= 2; ++round) {
    const sequences::InstallResult installed = w.Install();
    ASSERT_EQ(installed.outcome, sequences::InstallOutcome::kInstalled)
        << Describe(installed.report);
    w.ExpectInstalled("install " + std::to_string(round));
  }
  EXPECT_TRUE(w.Uninstall().succeeded);
  w.ExpectOriginals("first uninstall");
  const sequences::UninstallResult again = w.Uninstall();
  EXPECT_FALSE(again.succeeded);  // nothing recorded: said so, nothing touched
  w.ExpectOriginals("second uninstall");
}

// The process ends at host operation k of the install (no clean-up, no flushing); then the
// player uninstalls, or (for every other k) first installs again and then uninstalls.
TEST_F(Reliability, CrashAtEveryStepOfTheInstall) {
  if (host::kIsWindows) GTEST_SKIP() << "needs fork()";
  std::uint64_t operations = 0;
  {
    World w;
    operations = CountOperations([&] {
      EXPECT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    });
  }
  ASSERT_GT(operations, 30u);
  std::uint64_t covered = 0;
  for (std::uint64_t k = 1; k <= operations; ++k) {
    World w;
    CrashAt(k, [&] { w.Install(); });
    const bool installAgain = k % 2 == 0;
    const std::string when = "crash at install operation " + std::to_string(k) +
                             (installAgain ? ", installed again" : "");
    w.ExpectNoSavedCopyLost(when);
    if (installAgain) {
      const sequences::InstallResult again = w.Install();
      EXPECT_EQ(again.outcome, sequences::InstallOutcome::kInstalled)
          << when << "\n" << Describe(again.report);
      w.ExpectInstalled(when);
    }
    const sequences::UninstallResult undone = w.Uninstall();
    w.ExpectOriginals(when + "\n" + Describe(undone.report));
    ++covered;
  }
  PrintFigure("install crash points", operations, covered);
}

// The process ends at host operation k of the uninstall; a second uninstall finishes.
TEST_F(Reliability, CrashAtEveryStepOfTheUninstall) {
  if (host::kIsWindows) GTEST_SKIP() << "needs fork()";
  std::uint64_t operations = 0;
  {
    World w;
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    operations = CountOperations([&] { EXPECT_TRUE(w.Uninstall().succeeded); });
  }
  ASSERT_GT(operations, 10u);
  std::uint64_t covered = 0;
  for (std::uint64_t k = 1; k <= operations; ++k) {
    World w;
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    CrashAt(k, [&] { w.Uninstall(); });
    const std::string when = "crash at uninstall operation " + std::to_string(k);
    w.ExpectNoSavedCopyLost(when);
    const sequences::UninstallResult second = w.Uninstall();
    w.ExpectOriginals(when + "\n" + Describe(second.report));
    ++covered;
  }
  PrintFigure("uninstall crash points", operations, covered);
}

// Host operation k of the install fails as a full disk would: the install succeeds
// completely, or fails with a description and leaves the game as it was.
TEST_F(Reliability, FailureAtEveryOperationOfTheInstall) {
  std::uint64_t operations = 0;
  {
    World w;
    operations = CountOperations([&] {
      EXPECT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    });
  }
  ASSERT_GT(operations, 30u);
  std::uint64_t covered = 0;
  std::uint64_t failed = 0;
  for (std::uint64_t k = 1; k <= operations; ++k) {
    World w;
    const std::string when = "install operation " + std::to_string(k) + " failing";
    host::seam::Reset();
    host::seam::Arm(host::seam::Action::kFail, k);
    const sequences::InstallResult result = w.Install();
    host::seam::Reset();
    if (result.outcome == sequences::InstallOutcome::kInstalled) {
      EXPECT_FALSE(ReportsFailure(result.report)) << when << "\n" << Describe(result.report);
      w.ExpectInstalled(when);
    } else {
      ++failed;
      EXPECT_TRUE(ReportsFailure(result.report)) << when;
      Tree now = Snapshot(w.game);
      EXPECT_EQ(now, w.originals) << when << "\n" << Describe(result.report);
      w.ExpectNothingElseChanged(when);
    }
    // Whatever happened, an uninstall gives the originals back.
    const sequences::UninstallResult undone = w.Uninstall();
    w.ExpectOriginals(when + ", then uninstalled\n" + Describe(undone.report));
    ++covered;
  }
  EXPECT_GT(failed, operations / 2);
  std::cout << "[ figure ] install operations failing that failed the install: " << failed
            << "\n";
  PrintFigure("install injected faults", operations, covered);
}

// Host operation k of the uninstall fails: it succeeds completely, or says what it could
// not do and keeps what a second uninstall needs to finish.
TEST_F(Reliability, FailureAtEveryOperationOfTheUninstall) {
  std::uint64_t operations = 0;
  {
    World w;
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    operations = CountOperations([&] { EXPECT_TRUE(w.Uninstall().succeeded); });
  }
  ASSERT_GT(operations, 10u);
  std::uint64_t covered = 0;
  for (std::uint64_t k = 1; k <= operations; ++k) {
    World w;
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    const std::string when = "uninstall operation " + std::to_string(k) + " failing";
    host::seam::Reset();
    host::seam::Arm(host::seam::Action::kFail, k);
    const sequences::UninstallResult result = w.Uninstall();
    host::seam::Reset();
    if (result.succeeded) {
      EXPECT_FALSE(ReportsFailure(result.report)) << when << "\n" << Describe(result.report);
      w.ExpectOriginals(when);
    } else {
      EXPECT_TRUE(ReportsFailure(result.report)) << when;
      w.ExpectNoSavedCopyLost(when);
      const sequences::UninstallResult second = w.Uninstall();
      w.ExpectOriginals(when + ", uninstalled again\n" + Describe(second.report));
    }
    ++covered;
  }
  PrintFigure("uninstall injected faults", operations, covered);
}

// Power loss may drop whatever was not flushed, so the order of the calls matters: every
// replacing copy is written beside its destination, flushed, renamed over it, and the
// folder flushed before the run counts it as done.
TEST_F(Reliability, EveryReplacementIsFlushedBeforeItsRenameAndItsFolderAfter) {
  World w;
  host::seam::Reset();
  host::seam::SetRecording(true);
  ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
  std::vector<std::string> calls = host::seam::Recorded();
  host::seam::Reset();
  ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
  host::seam::SetRecording(true);
  ASSERT_TRUE(w.Uninstall().succeeded);
  const std::vector<std::string>& uninstall = host::seam::Recorded();
  calls.insert(calls.end(), uninstall.begin(), uninstall.end());
  host::seam::Reset();

  auto starts = [](const std::string& call, const char* name) {
    return call.rfind(std::string(name) + " ", 0) == 0;
  };
  int replacements = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const std::string& call = calls[i];
    if (starts(call, "CopyFileDurably:rename") ||
        starts(call, "MoveFileReplaceDurably:rename")) {
      // The temporary file was flushed before (by the copy itself or by the writer of
      // the temporary file), and the folder is flushed right after.
      ++replacements;
      // Paths hold spaces; the temporary file is the first one, up to its suffix.
      const std::size_t from = call.find(' ') + 1;
      const std::size_t suffix = call.find(host::kTemporarySuffix, from);
      ASSERT_NE(suffix, std::string::npos) << call;
      const std::string temporary =
          call.substr(from, suffix + std::string(host::kTemporarySuffix).size() - from);
      bool flushed = false;
      for (std::size_t j = i; j-- > 0 && !flushed;) {
        flushed = calls[j] == "CopyFileDurably:flush " + temporary ||
                  calls[j] == "FlushFileBuffers " + temporary;
      }
      EXPECT_TRUE(flushed) << call;
      ASSERT_LT(i + 1, calls.size());
      EXPECT_TRUE(calls[i + 1].find(":flushFolder ") != std::string::npos) << call;
    }
    if (starts(call, "MoveFileReplace")) {
      // Batches: the temporary files are on the disk before any rename, and the renames
      // before the run goes on to anything else.
      ++replacements;
      bool flushedBefore = false;
      for (std::size_t j = i; j-- > 0 && !flushedBefore;) {
        if (starts(calls[j], "FlushToDisk")) flushedBefore = true;
        if (starts(calls[j], "CopyFileToTemporary:write") ||
            starts(calls[j], "MoveFileToTemporary")) {
          break;
        }
      }
      EXPECT_TRUE(flushedBefore) << call;
      std::size_t next = i + 1;
      while (next < calls.size() && starts(calls[next], "MoveFileReplace")) ++next;
      ASSERT_LT(next, calls.size()) << call;
      EXPECT_TRUE(starts(calls[next], "FlushToDisk")) << call << " then " << calls[next];
    }
  }
  EXPECT_GE(replacements, 5);
}

// Every pair of the uninstall log is on the disk before the copy it records starts: the
// process ended at the first operation on a saved copy finds its pair in the log.
TEST_F(Reliability, EveryLogPairIsOnDiskBeforeItsCopyStarts) {
  if (host::kIsWindows) GTEST_SKIP() << "needs fork()";
  std::vector<std::pair<std::uint64_t, std::string>> firstTouch;  // operation, saved copy
  {
    World w;
    host::seam::Reset();
    host::seam::SetRecording(true);
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    const std::vector<std::string> calls = host::seam::Recorded();
    host::seam::Reset();
    const std::string backupPrefix = w.package + "\\QUARN Backup\\";
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      // The first write of a saved copy: the copy into its temporary file.
      const std::string& call = calls[i];
      if (call.rfind("CopyFile", 0) != 0) continue;
      const std::size_t at = call.rfind(backupPrefix);
      if (at == std::string::npos) continue;
      std::string saved = call.substr(at + backupPrefix.size());
      if (saved.size() > 6 && saved.compare(saved.size() - 5, 5, host::kTemporarySuffix) == 0) {
        saved.resize(saved.size() - 5);
      }
      if (saved.find("Uninstall.cfg") != std::string::npos ||
          std::find(seen.begin(), seen.end(), saved) != seen.end()) {
        continue;
      }
      seen.push_back(saved);
      firstTouch.emplace_back(i + 1, saved);
    }
  }
  ASSERT_EQ(firstTouch.size(), 4u);  // two copied over, two patched
  for (const auto& [k, saved] : firstTouch) {
    World w;
    CrashAt(k, [&] { w.Install(); });
    InFolder in(w.package);
    const sequences::Status status = sequences::ReadStatus();
    bool listed = false;
    for (const sequences::PairStatus& pair : status.pairs) {
      listed |= pair.backupPath == w.package + "\\QUARN Backup\\" + saved;
    }
    EXPECT_TRUE(listed) << "crash at operation " << k << " before the first write of " << saved;
  }
}

// ---- Hostile packages -------------------------------------------------------------------

// A package of the world's game files with another script and other files: the install
// either fails with a description, changing no game file and nothing outside, or (where
// the input is valid) succeeds.
struct HostileCase {
  const char* label;
  std::string script;
  std::vector<std::pair<std::string, Bytes>> files;
  bool valid = false;
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.label; }

class HostilePackage : public Reliability, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostilePackage, FailsSafelyWithADescriptionOrSucceedsAsSpecified) {
  const HostileCase& c = GetParam();
  World w;
  {
    ZipBuilder zip(w.package + "/" + sequences::kPackageName);
    zip.AddFile("Install.cfg", c.script);
    zip.AddFile("ship1.dat", "new ship1");
    for (const auto& [name, content] : c.files) zip.AddFile(name, content);
    zip.Finish();
  }
  w.packageFile = ReadFile(w.package + "/" + sequences::kPackageName);
  const sequences::InstallResult result = w.Install();
  for (const engine::Problem& problem : result.report.Problems()) {
    if (problem.severity == engine::Severity::kFailure) {
      std::cout << "[ hostile ] " << c.label << ": " << problem.text << "\n";
    }
  }
  if (c.valid) {
    EXPECT_EQ(result.outcome, sequences::InstallOutcome::kInstalled) << Describe(result.report);
  } else {
    EXPECT_NE(result.outcome, sequences::InstallOutcome::kInstalled) << Describe(result.report);
    EXPECT_TRUE(ReportsFailure(result.report));
    EXPECT_EQ(Snapshot(w.game), w.originals) << Describe(result.report);
  }
  EXPECT_EQ(w.Outside(), w.outside) << Describe(result.report);
  const sequences::UninstallResult undone = w.Uninstall();
  w.ExpectOriginals(std::string(c.label) + "\n" + Describe(undone.report));
}

Bytes Patch(std::uint32_t offset, const Bytes& data, int extraCount = 0) {
  Bytes bytes = BytePatch({{offset, data}});
  bytes[13] = static_cast<std::uint8_t>(1 + extraCount);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Reliability, HostilePackage,
    ::testing::Values(
        HostileCase{"SourceOutsideThePackage", "copyfile ..\\..\\Saves\\pilot.plt \\Data\r\n", {}},
        HostileCase{"SourceAbsolute", "copyfile /etc/hostname \\Data\r\n", {}},
        HostileCase{"DestinationOutsideTheGame", "copyfile ship1.dat \\..\\..\\Saves\r\n", {}},
        HostileCase{"DestinationWithADrive", "copyfile ship1.dat C:\\Data\r\n", {}},
        HostileCase{"DestinationUnc", "copyfile ship1.dat \\\\server\\share\r\n", {}},
        HostileCase{"DeviceName", "copyfile ship1.dat \\Data\r\ncopyfile CON \\Data\r\n",
                    {{"CON", ToBytes("device")}}},
        HostileCase{"AlternateStream", "patchfile x.pat Data\\ship2.dat:x\r\n",
                    {{"x.pat", Patch(0, ToBytes("P"))}}},
        HostileCase{"TrailingDot", "copyfile ship1.dat \\Data\r\ncopyfile a.dat. \\Data\r\n",
                    {{"a.dat.", ToBytes("dot")}}},
        HostileCase{"PatchTargetOutsideTheGame", "patchfile x.pat ..\\Saves\\pilot.plt\r\n",
                    {{"x.pat", Patch(0, ToBytes("P"))}}},
        HostileCase{"PatchCountLargerThanItsRecords",
                    "copyfile ship1.dat \\Data\r\npatchfile x.pat Data\\ship2.dat\r\n",
                    {{"x.pat", Patch(0, ToBytes("P"), 3)}}},
        HostileCase{"PatchOffsetOf2To31",
                    "copyfile ship1.dat \\Data\r\npatchfile x.pat Data\\ship2.dat\r\n",
                    {{"x.pat", Patch(0x80000000u, ToBytes("P"))}}},
        HostileCase{"PatchOffsetOf2To32Minus1",
                    "copyfile ship1.dat \\Data\r\npatchfile x.pat Data\\ship2.dat\r\n",
                    {{"x.pat", Patch(0xFFFFFFFFu, ToBytes("P"))}}},
        HostileCase{"PatchOfAMissingFile", "patchfile x.pat Data\\none.dat\r\n",
                    {{"x.pat", Patch(0, ToBytes("P"))}}},
        HostileCase{"ZeroLengthRecord", "patchfile x.pat Data\\ship2.dat\r\n",
                    {{"x.pat", Patch(4, Bytes())}}, true},
        HostileCase{"NamesThatDifferOnlyInCase",
                    "copyfile ship1.dat \\Data\r\ncopyfile SHIP1.DAT \\Data\r\n", {}, true}),
    [](const auto& test) { return std::string(test.param.label); });

// A package whose entry inflates far beyond what it announces (64 KiB that unpack to
// 64 MiB) is refused after at most its announced size was written.
TEST_F(Reliability, ZipBombIsRefusedWithoutFillingTheDisk) {
  World w;
  {
    ZipBuilder zip(w.package + "/" + sequences::kPackageName);
    zip.AddFile("Install.cfg", "copyfile bomb.dat \\Data\r\n");
    zip.AddFile("bomb.dat", Bytes(64u << 20, 0));
    zip.Finish();
  }
  testing_support::SetZipUncompressedSize(w.package + "/" + sequences::kPackageName,
                                          "bomb.dat", 4096);
  w.packageFile = ReadFile(w.package + "/" + sequences::kPackageName);
  EXPECT_LT(fs::file_size(w.package + "/" + sequences::kPackageName), 1u << 20);
  host::seam::Reset();
  host::seam::SetRecording(true);
  const sequences::InstallResult result = w.Install();
  std::uint64_t bytesWritten = 0;  // at most one 2048-byte buffer per write
  for (const std::string& call : host::seam::Recorded()) {
    if (call.rfind("WriteFile ", 0) == 0 && call.find("bomb.dat") != std::string::npos) {
      bytesWritten += 2048;
    }
  }
  host::seam::Reset();
  EXPECT_EQ(result.outcome, sequences::InstallOutcome::kPackageDamaged);
  EXPECT_TRUE(ReportsFailure(result.report)) << Describe(result.report);
  EXPECT_LE(bytesWritten, 4096u + 2048u);
  EXPECT_FALSE(Exists(w.package + "/Temp/bomb.dat"));
  EXPECT_EQ(Snapshot(w.game), w.originals);
}

// ---- Hand-written and cut uninstall logs ----------------------------------------------

// The uninstall acts only on complete pairs: whatever prefix of a real log is left (as a
// crash or a full disk while writing it may leave), and with a NUL byte written into any
// line, no original is lost and nothing outside changes.
TEST_F(Reliability, EveryTruncationOfTheLogRestoresOnlyCompletePairs) {
  Bytes log;
  {
    World w;
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    log = ReadFile(w.package + "/QUARN Backup/Uninstall.cfg");
  }
  ASSERT_GT(log.size(), 100u);
  std::vector<Bytes> variants;
  for (std::size_t n = 0; n < log.size(); ++n) variants.emplace_back(log.begin(), log.begin() + n);
  for (std::size_t at = 0; at < log.size(); at += 7) {
    Bytes withNul = log;
    withNul[at] = 0;
    variants.push_back(withNul);
  }
  std::uint64_t cases = 0;
  for (const Bytes& variant : variants) {
    World w;
    ASSERT_EQ(w.Install().outcome, sequences::InstallOutcome::kInstalled);
    // The paths inside the log name the first world's folders: rewrite them for this one.
    std::string text(variant.begin(), variant.end());
    const std::string written(log.begin(), log.end());
    const std::string from = written.substr(0, written.find("/Games/XvT"));
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), w.temp.path());
      at += w.temp.path().size();
    }
    WriteFile(w.package + "/QUARN Backup/Uninstall.cfg", text);
    const std::string when = "log of " + std::to_string(variant.size()) + " bytes, " +
                             (variant.size() == log.size() ? "with a NUL" : "cut");
    const sequences::UninstallResult undone = w.Uninstall();
    EXPECT_TRUE(undone.succeeded || ReportsFailure(undone.report)) << when;
    w.ExpectNoSavedCopyLost(when + "\n" + Describe(undone.report));
    EXPECT_EQ(w.Outside(), w.outside) << when;
    ++cases;
  }
  std::cout << "[ figure ] hand-made logs (every cut, NUL bytes): " << cases << "\n";
}

// ---- Symbolic links ------------------------------------------------------------------------

// A link inside the game, staging or backup folder that leads out of it: nothing may be
// written through it, whatever the install and uninstall report.
struct LinkCase {
  const char* label;
  std::string link;    // below the temporary folder
  std::string target;  // below "Elsewhere", a folder of the player's beside the others
  bool folder;
  bool afterInstall = false;  // the link appears between the install and the uninstall
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.label; }

class LinkOutside : public Reliability, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkOutside, NothingIsWrittenThroughIt) {
  if (host::kIsWindows) GTEST_SKIP() << "symbolic links are made here with POSIX calls";
  const LinkCase& c = GetParam();
  World w;
  const auto makeLink = [&] {
    const std::string target = w.temp / ("Elsewhere/" + c.target);
    if (c.folder) {
      MakeFolders(target);
      WriteFile(target + "/hud2.dat", "elsewhere hud2");
    } else {
      WriteFile(target, "elsewhere file");
    }
    const std::string link = w.temp / c.link;
    fs::remove_all(link);
    MakeFolders(fs::path(link).parent_path().string());
    if (c.folder) {
      fs::create_directory_symlink(target, link);
    } else {
      fs::create_symlink(target, link);
    }
    w.outside = w.Outside();
  };
  if (!c.afterInstall) makeLink();
  const sequences::InstallResult installed = w.Install();
  std::cout << "[ link ] " << c.label << ": install "
            << (installed.outcome == sequences::InstallOutcome::kInstalled ? "succeeded" : "failed")
            << "\n" << Describe(installed.report);
  EXPECT_EQ(w.Outside(), w.outside) << "install\n" << Describe(installed.report);
  if (c.afterInstall) makeLink();
  const sequences::UninstallResult undone = w.Uninstall();
  EXPECT_EQ(w.Outside(), w.outside) << "uninstall\n" << Describe(undone.report);
}

INSTANTIATE_TEST_SUITE_P(
    Reliability, LinkOutside,
    ::testing::Values(LinkCase{"GameFile", "Games/XvT/Data/ship1.dat", "ship1.dat", false},
                      LinkCase{"GameSubfolder", "Games/XvT/Data/Art", "Art", true},
                      LinkCase{"GameSubfolderAfterInstall", "Games/XvT/Data/Art", "Art", true,
                               true},
                      LinkCase{"StagingFolder", "Kyr Patch/Temp", "Temp", true},
                      LinkCase{"StagedFile", "Kyr Patch/Temp/ship1.dat", "ship1.dat", false},
                      LinkCase{"BackupFolder", "Kyr Patch/QUARN Backup", "Backup", true},
                      LinkCase{"SavedCopy", "Kyr Patch/QUARN Backup/ship1.dat", "saved.dat",
                               false},
                      LinkCase{"UninstallLog", "Kyr Patch/QUARN Backup/Uninstall.cfg",
                               "log.cfg", false},
                      LinkCase{"FlagFile", "Games/XvT/JXPatch/Back.JX", "flag", false}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
