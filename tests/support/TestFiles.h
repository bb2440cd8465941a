// Helpers for tests that work on real files: a fresh temporary folder per test, and small
// readers and writers of whole files. Paths are native ('/'), which the host layer accepts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A fresh, empty folder that is removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& text);
// Writes `content` to `path`, creating missing parent folders.
void WriteFile(const std::string& path, const Bytes& content);
void WriteFile(const std::string& path, const std::string& content);
// The whole file, or an empty vector when it cannot be read (see Exists).
Bytes ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
void MakeFolders(const std::string& path);
// Removes write permission (read-only in Windows terms) or gives it back.
void SetReadOnly(const std::string& path, bool readOnly);
// Every file below `root` with its content, as "relative/path" -> bytes; for comparing a
// whole tree before and after a run.
std::vector<std::pair<std::string, Bytes>> Snapshot(const std::string& root);

}  // namespace testing_support
