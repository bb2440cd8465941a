// Helpers for the engine tests: a sandbox with a package folder and a game folder (names
// with spaces, as players have them), packages staged by hand, byte patch files built from
// records, and whole-tree snapshots to prove that a failed run changed nothing.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Engine.h"
#include "platform/Seam.h"
#include "tests/support/TestFiles.h"

namespace engine_testing {

using testing_support::Bytes;
using testing_support::Exists;
using testing_support::IsFolder;
using testing_support::MakeFolders;
using testing_support::ReadFile;
using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::ToBytes;
using testing_support::WriteFile;

// `path` with '/' turned into '\', as the install script and the log write them.
inline std::string Win(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

struct PatchRecord {
  std::uint32_t offset;
  Bytes data;
};

// A byte patch file: 13 header bytes, the record count (by default the number of records),
// then the records.
inline Bytes MakeBytePatch(const std::vector<PatchRecord>& records,
                           std::optional<std::uint16_t> count = std::nullopt,
                           Bytes header = Bytes(13, 'H')) {
  Bytes bytes = header;
  const std::uint16_t n = count.value_or(static_cast<std::uint16_t>(records.size()));
  bytes.push_back(static_cast<std::uint8_t>(n & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(n >> 8));
  for (const PatchRecord& record : records) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<std::uint8_t>(record.offset >> shift));
    }
    bytes.push_back(static_cast<std::uint8_t>(record.data.size()));
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
  }
  return bytes;
}

// Every folder and file below `root`: folders as "path/", files as "path" with content.
using Tree = std::vector<std::pair<std::string, Bytes>>;
inline Tree Snapshot(const std::string& root) {
  namespace fs = std::filesystem;
  Tree tree;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string relative = fs::relative(it->path(), root).generic_string();
    if (it->is_directory()) {
      tree.emplace_back(relative + "/", Bytes());
    } else {
      tree.emplace_back(relative, ReadFile(it->path().string()));
    }
  }
  std::sort(tree.begin(), tree.end());
  return tree;
}

// A package folder "Kyr Patch" (with its backup folder) and a game folder "Flight Games/XvT"
// (with Data, Data/Art and JXPatch) in a fresh temporary folder.
class Sandbox {
 public:
  Sandbox() {
    MakeFolders(game + "/Data/Art");
    MakeFolders(game + "/JXPatch");
    MakeFolders(backup);
  }

  TempDir temp;
  const std::string package = temp / "Kyr Patch";
  const std::string game = temp / "Flight Games/XvT";
  const std::string backup = package + "/QUARN Backup";
  const std::string staging = package + "/Temp";
  const std::string logPath = backup + "/Uninstall.cfg";
  const std::string flagPath = game + "/JXPatch/Back.JX";

  // The package: file name inside it (with '/' for subfolders) -> content.
  std::map<std::string, Bytes> packageFiles;

  void AddToPackage(const std::string& name, const Bytes& content) { packageFiles[name] = content; }
  void AddToPackage(const std::string& name, const std::string& content) {
    packageFiles[name] = ToBytes(content);
  }
  void SetScript(const std::string& text) { AddToPackage("Install.cfg", text); }

  // Writes the package into the staging folder as an extraction would, and lists it.
  engine::StagedSet Stage() const {
    engine::StagedSet staged;
    for (const auto& [name, content] : packageFiles) {
      WriteFile(staging + "/" + name, content);
      // Recorded as the extraction records them: the staging folder as the install names
      // it, then the entry name with '\'.
      const std::string recorded = package + "\\Temp\\" + Win(name);
      std::vector<std::string> parents;
      for (std::size_t slash = name.find('/'); slash != std::string::npos;
           slash = name.find('/', slash + 1)) {
        parents.push_back(recorded.substr(0, recorded.size() - name.size() + slash));
      }
      for (const std::string& parent : parents) {
        if (std::find(staged.folders.begin(), staged.folders.end(), parent) ==
            staged.folders.end()) {
          staged.folders.push_back(parent);
        }
      }
      staged.files.push_back(recorded);
    }
    return staged;
  }

  int Install(engine::Report* report = nullptr) const {
    const engine::StagedSet staged = Stage();
    return engine::RunInstallScript(package.c_str(), game.c_str(), staged, report);
  }
  int Uninstall(engine::Report* report = nullptr) const {
    return engine::RunUninstall(package.c_str(), report);
  }

  std::string Game(const std::string& relative) const { return game + "/" + relative; }
  // The log's texts: game folder + third token + "\" + second token, and the saved copy.
  std::string LoggedGame(const std::string& third, const std::string& second) const {
    return game + third + "\\" + second;
  }
  std::string LoggedBackup(const std::string& name) const {
    return package + "\\QUARN Backup\\" + name;
  }

  // The log as lines; every line on disk must end in CR LF.
  std::vector<std::string> LogLines() const {
    const std::string text = ReadText(logPath);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        ADD_FAILURE() << "the log's last line has no CR LF: " << text.substr(start);
        lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // Everything an install or uninstall may change: the game folder and the backup folder.
  std::pair<Tree, Tree> World() const { return {Snapshot(game), Snapshot(backup)}; }
};

// A test on one fresh sandbox, with the host's test seam disarmed around it.
class EngineTest : public ::testing::Test, public Sandbox {
 protected:
  void SetUp() override { host::seam::Reset(); }
  void TearDown() override { host::seam::Reset(); }
};

// Runs `run` once while the seam counts host operations, and returns that count.
template <class Run>
std::uint64_t CountOperations(Run run) {
  host::seam::Reset();
  run();
  const std::uint64_t count = host::seam::Count();
  host::seam::Reset();
  return count;
}

inline std::string Describe(const engine::Report& report) {
  std::string text;
  for (const engine::Problem& problem : report.Problems()) {
    text += problem.severity == engine::Severity::kFailure ? "failure: " : "warning: ";
    text += problem.text + "\n";
  }
  return text;
}

inline bool Mentions(const engine::Report& report, const std::string& fragment) {
  for (const engine::Problem& problem : report.Problems()) {
    if (problem.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

}  // namespace engine_testing
