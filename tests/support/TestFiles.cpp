#include "tests/support/TestFiles.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("kyr-test-" + std::to_string(stamp) + "-" +
                          std::to_string(counter.fetch_add(1)));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.generic_string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code error;
  // Read-only files and folders left by a test must not stop the removal.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

std::string TempDir::operator/(const std::string& relative) const {
  return path_ + "/" + relative;
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

void WriteFile(const std::string& path, const Bytes& content) {
  const fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(content.data()),
            static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::string& content) {
  WriteFile(path, ToBytes(content));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

void MakeFolders(const std::string& path) { fs::create_directories(path); }

void SetReadOnly(const std::string& path, bool readOnly) {
  const auto writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(path, readOnly ? writeBits : fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

std::vector<std::pair<std::string, Bytes>> Snapshot(const std::string& root) {
  std::vector<std::pair<std::string, Bytes>> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file()) {
      files.emplace_back(fs::relative(it->path(), root).generic_string(),
                         ReadFile(it->path().string()));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace testing_support
