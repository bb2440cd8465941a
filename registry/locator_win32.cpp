// The game's registry entry in the Windows registry itself.
#include <windows.h>

#include <cstring>

#include "registry/GameLocator.h"

namespace registry {
namespace {

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::optional<std::string> ReadInstallPath() {
  // The game's installer is a 32-bit program: its key lives in the 32-bit view, also when
  // this program runs as a 64-bit one.
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  char data[kMaxValueLength + 1] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof(data);
  const LSTATUS status = RegQueryValueExA(key, kInstallPathValue, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  // ERROR_MORE_DATA: longer than a path buffer holds.
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  // Registry text need not be terminated: only the bytes returned count, up to a zero.
  std::string text(data, strnlen(data, size));
  if (text.size() > kMaxValueLength) return std::nullopt;
  if (type == REG_EXPAND_SZ) {
    char expanded[kMaxValueLength + 1] = {};
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof(expanded));
    if (needed == 0 || needed > sizeof(expanded)) return std::nullopt;
    text = expanded;
  }
  if (text.empty()) return std::nullopt;
  return text;
}

std::vector<FoundGame> FindGames() {
  std::vector<FoundGame> games;
  if (const std::optional<std::string> path = ReadInstallPath(); path && IsFolder(*path)) {
    games.push_back({"", "the registry", *path, *path});
  }
  return games;
}

Location LocateGame(const std::string& prefix) {
  Location location;
  if (!prefix.empty()) {
    location.outcome = Located::kNotInPrefix;
    location.problem = "Wine prefixes exist only on Linux; Windows keeps the game in its registry";
    return location;
  }
  const std::optional<std::string> path = ReadInstallPath();
  if (!path) {
    location.problem = kNoGameFoundText;
  } else if (!IsFolder(*path)) {
    location.problem = "the registry names the game folder " + *path + ", which does not exist";
  } else {
    location.outcome = Located::kFound;
    location.game = {"", "the registry", *path, *path};
  }
  return location;
}

}  // namespace registry
