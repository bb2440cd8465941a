#include "engine/PathText.h"

#include <cstring>

namespace engine {

bool JoinPath(std::initializer_list<std::string_view> pieces, std::string* path) {
  char buffer[host::kMaxPath] = {};
  for (std::string_view piece : pieces) {
    if (!host::AppendToPath(buffer, piece)) return false;
  }
  *path = buffer;
  return true;
}

bool FitsWithTemporary(std::string_view path) {
  return path.size() + std::strlen(host::kTemporarySuffix) <= host::kMaxPath - 1;
}

bool IsNotFound(host::DWORD error) {
  return error == host::kErrorFileNotFound || error == host::kErrorPathNotFound;
}

Found Probe(const std::string& path, host::DWORD* error) {
  const host::DWORD attributes = host::GetFileAttributesA(path.c_str());
  if (error) *error = 0;
  if (attributes == host::kInvalidFileAttributes) {
    const host::DWORD why = host::GetLastError();
    if (error) *error = why;
    if (IsNotFound(why)) return Found::kMissing;
    if (why == host::kErrorAmbiguousName) return Found::kAmbiguous;
    return Found::kError;
  }
  if (attributes & host::kAttributeDirectory) return Found::kFolder;
  if (attributes & host::kAttributeReadOnly) return Found::kReadOnlyFile;
  return Found::kFile;
}

bool DeleteIfPresent(const std::string& path) {
  if (host::DeleteFileA(path.c_str())) return true;
  return IsNotFound(host::GetLastError());
}

bool HasDrive(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return false;
  const char c = path[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

namespace {

// The form in which two paths compare equal exactly when SamePath says so.
std::string FoldedKey(std::string_view path) {
  std::string key(path);
  for (char& c : key) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

}  // namespace

void PathIndex::Add(std::string_view path, std::size_t value) {
  entries_[FoldedKey(path)].emplace_back(std::string(path), value);
}

Match PathIndex::Find(std::string_view path) const {
  const auto it = entries_.find(FoldedKey(path));
  if (it == entries_.end()) return Match{};
  for (const auto& [name, value] : it->second) {
    if (name == path) return Match{true, false, value};
  }
  if (it->second.size() == 1) return Match{true, false, it->second.front().second};
  return Match{false, true, 0};
}

bool HasTemporarySuffix(std::string_view name) {
  const std::string_view suffix = host::kTemporarySuffix;
  if (name.size() < suffix.size()) return false;
  return host::SamePath(name.substr(name.size() - suffix.size()), suffix);
}

}  // namespace engine
