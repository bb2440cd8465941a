// Internal path helpers of the engine: building paths exactly as a path buffer holds them,
// looking at what a path names, and deciding whether a list holds the same file.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Host.h"
#include "platform/Paths.h"

namespace engine {

// Joins `pieces` by plain appending in a path buffer: no separator is added or removed.
// False, with `path` untouched, when the result would be longer than 259 characters.
bool JoinPath(std::initializer_list<std::string_view> pieces, std::string* path);

// True when the temporary file that a durable write puts beside `path` fits a path buffer
// too (and so `path` itself does).
bool FitsWithTemporary(std::string_view path);

// What stands at a path. kError covers every failure other than "nothing there": a caller
// must never take it for a missing file.
enum class Found { kMissing, kFile, kReadOnlyFile, kFolder, kAmbiguous, kError };
Found Probe(const std::string& path, host::DWORD* error = nullptr);
inline bool IsFile(Found found) { return found == Found::kFile || found == Found::kReadOnlyFile; }

// Deletes a file; a file that is already gone counts as deleted.
bool DeleteIfPresent(const std::string& path);

// True for a host error that means "not there" (the file or its folder).
bool IsNotFound(host::DWORD error);

// True when `path` starts with a drive ("C:").
bool HasDrive(std::string_view path);

// True when `name` ends in the suffix of temporary files, which no package file may carry.
bool HasTemporarySuffix(std::string_view name);

// The entry of a list that names the same file as `path`, as Windows decides it: an exact
// match wins; otherwise a single match without regard to case or separator kind; several
// such matches and no exact one make the result ambiguous.
struct Match {
  bool found = false;
  bool ambiguous = false;
  std::size_t index = 0;
};

template <class List, class Key>
Match FindSamePath(const List& list, std::string_view path, Key key) {
  Match match;
  std::size_t folded = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string_view candidate = key(list[i]);
    if (candidate == path) return Match{true, false, i};
    if (host::SamePath(candidate, path)) {
      if (folded++ == 0) match.index = i;
    }
  }
  if (folded == 1) match.found = true;
  if (folded > 1) match.ambiguous = true;
  return match;
}

template <class List>
Match FindSamePath(const List& list, std::string_view path) {
  return FindSamePath(list, path, [](const auto& item) { return std::string_view(item); });
}

// The same decision as FindSamePath over a growing set of paths, in constant time per
// lookup, for scripts and logs with thousands of files. `index` is the value added.
class PathIndex {
 public:
  void Add(std::string_view path, std::size_t value);
  Match Find(std::string_view path) const;

 private:
  std::unordered_map<std::string, std::vector<std::pair<std::string, std::size_t>>> entries_;
};

}  // namespace engine
