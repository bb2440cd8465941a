// The game's registry entry inside Wine prefixes, and the prefixes themselves, on Linux.
//
// Wine keeps the machine registry in the text file system.reg:
//   WINE REGISTRY Version 2
//   #arch=win64
//   [Software\\Wow6432Node\\LucasArts Entertainment Company\\X-Wing vs. TIE Fighter\\2.0] 17
//   "Install Path"="C:\\Games\\XvT"
// Section names are key paths below HKEY_LOCAL_MACHINE; names and strings carry Wine's
// escapes (\\ \" \n \t ..., \xNNNN for a UTF-16 unit, \NNN octal); str(2): marks an
// expandable string, hex(N): raw data of type N, continued over lines ending in '\'.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "registry/GameLocator.h"

namespace registry {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

constexpr char kRegistryHeader[] = "WINE REGISTRY Version 2";

constexpr char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Registry names are compared as Windows does for our ASCII names: letters without case.
bool SameName(std::u16string_view name, std::string_view ascii) {
  if (name.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (FoldAscii(name[i]) != static_cast<char16_t>(FoldAscii(ascii[i]))) return false;
  }
  return true;
}

bool SameNameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads Wine's escaped text from `text` at `pos` up to the unescaped `end` character and
// leaves `pos` after it. False when `end` never comes. Plain bytes are Latin-1 code units,
// as Wine reads them (it writes everything else escaped).
bool ParseEscaped(std::string_view text, std::size_t& pos, char end, std::u16string& out) {
  out.clear();
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == end) {
      ++pos;
      return true;
    }
    if (c != '\\' || pos + 1 >= text.size()) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
      ++pos;
      continue;
    }
    const char e = text[++pos];
    ++pos;
    switch (e) {
      case 'a': out.push_back(u'\a'); break;
      case 'b': out.push_back(u'\b'); break;
      case 'e': out.push_back(u'\x1b'); break;
      case 'f': out.push_back(u'\f'); break;
      case 'n': out.push_back(u'\n'); break;
      case 'r': out.push_back(u'\r'); break;
      case 't': out.push_back(u'\t'); break;
      case 'v': out.push_back(u'\v'); break;
      case 'x': {
        if (pos >= text.size() || HexDigit(text[pos]) < 0) {
          out.push_back(u'x');
          break;
        }
        unsigned value = 0;
        for (int digits = 0; digits < 4 && pos < text.size() && HexDigit(text[pos]) >= 0;
             ++digits) {
          value = value * 16 + static_cast<unsigned>(HexDigit(text[pos++]));
        }
        out.push_back(static_cast<char16_t>(value));
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned value = static_cast<unsigned>(e - '0');
          for (int digits = 1; digits < 3 && pos < text.size() && text[pos] >= '0' &&
                               text[pos] <= '7';
               ++digits) {
            value = value * 8 + static_cast<unsigned>(text[pos++] - '0');
          }
          out.push_back(static_cast<char16_t>(value));
        } else {
          // \\, \" and any other escaped character stand for themselves.
          out.push_back(static_cast<char16_t>(static_cast<unsigned char>(e)));
        }
    }
  }
  return false;
}

struct RegValue {
  std::uint32_t type = kRegBinary;
  std::u16string text;  // the string types' characters, without their terminator
};

// "hex(N):" data: comma-separated bytes; string types hold UTF-16LE.
std::u16string HexBytesToText(std::string_view data) {
  std::string bytes;
  for (std::size_t pos = 0; pos < data.size();) {
    while (pos < data.size() && (data[pos] == ',' || data[pos] == ' ')) ++pos;
    if (pos + 1 < data.size() && HexDigit(data[pos]) >= 0 && HexDigit(data[pos + 1]) >= 0) {
      bytes.push_back(static_cast<char>(HexDigit(data[pos]) * 16 + HexDigit(data[pos + 1])));
      pos += 2;
    } else {
      ++pos;
    }
  }
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  // Raw string data normally carry their terminator; the text does not.
  if (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

// The type N of "str(N):" or "hex(N):" at the start of `data`; `close` is where "):" begins.
std::uint32_t TypeNumber(std::string_view data, std::size_t close) {
  return static_cast<std::uint32_t>(std::strtoul(std::string(data.substr(4, close - 4)).c_str(),
                                                 nullptr, 16));
}

// The data after '=' of a value line; false for a form we do not know.
bool ParseValueData(std::string_view data, RegValue& value) {
  std::size_t pos = 0;
  if (data.starts_with("\"")) {
    value.type = kRegSz;
    pos = 1;
    return ParseEscaped(data, pos, '"', value.text);
  }
  if (data.starts_with("str(")) {
    const std::size_t close = data.find("):\"");
    if (close == std::string_view::npos) return false;
    value.type = TypeNumber(data, close);
    pos = close + 3;
    return ParseEscaped(data, pos, '"', value.text);
  }
  if (data.starts_with("dword:")) {
    value.type = kRegDword;
    return true;
  }
  if (data.starts_with("hex:")) {
    value.type = kRegBinary;
    return true;
  }
  if (data.starts_with("hex(")) {
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos) return false;
    value.type = TypeNumber(data, close);
    if (value.type == kRegSz || value.type == kRegExpandSz) {
      value.text = HexBytesToText(data.substr(close + 2));
    }
    return true;
  }
  return false;
}

using KeyValues = std::map<std::u16string, RegValue>;  // value names folded to lower case

std::u16string Folded(std::u16string name) {
  for (char16_t& c : name) c = FoldAscii(c);
  return name;
}

struct RegistryFile {
  bool is64Bit = false;
  bool archGiven = false;
  std::vector<KeyValues> keys;  // one per wanted key, in the order asked
};

std::optional<std::string> ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(content).str();
}

// Reads the values of the keys named in `wanted` (paths below HKEY_LOCAL_MACHINE, with
// single backslashes). None when `text` is no Wine registry.
std::optional<RegistryFile> ParseRegistry(std::string_view text,
                                          const std::vector<std::string>& wanted) {
  if (!text.starts_with(kRegistryHeader)) return std::nullopt;
  RegistryFile file;
  file.keys.resize(wanted.size());
  KeyValues* current = nullptr;
  bool inSection = false;
  std::size_t next = 0;
  auto nextLine = [&](std::string_view& line) {
    if (next >= text.size()) return false;
    std::size_t end = text.find('\n', next);
    if (end == std::string_view::npos) end = text.size();
    line = text.substr(next, end - next);
    if (line.ends_with('\r')) line.remove_suffix(1);
    next = end + 1;
    return true;
  };
  std::string_view line;
  std::u16string name;
  while (nextLine(line)) {
    if (line.starts_with("#arch=") && !inSection) {
      file.archGiven = true;
      file.is64Bit = line.substr(6) == "win64";
    } else if (line.starts_with("[")) {
      inSection = true;
      current = nullptr;
      std::size_t pos = 1;
      if (!ParseEscaped(line, pos, ']', name)) continue;
      for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (SameName(name, wanted[i])) current = &file.keys[i];
      }
    } else if (line.starts_with("\"") || line.starts_with("@")) {
      std::string joined;
      // Raw data may continue over lines that end in a backslash.
      if (line.find("=hex") != std::string_view::npos) {
        std::string_view more;
        while (line.ends_with('\\') && nextLine(more)) {
          joined.append(line.substr(0, line.size() - 1));
          line = more;
          while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
          }
        }
        if (!joined.empty()) {
          joined.append(line);
          line = joined;
        }
      }
      if (current == nullptr) continue;
      std::size_t pos = 1;
      if (line.starts_with("@")) {
        name.clear();
      } else if (!ParseEscaped(line, pos, '"', name)) {
        continue;
      }
      if (pos >= line.size() || line[pos] != '=') continue;
      RegValue value;
      if (ParseValueData(line.substr(pos + 1), value)) (*current)[Folded(name)] = value;
    }
  }
  return file;
}

// UTF-16 to UTF-8 (Wine's file names are UTF-8); none for a broken surrogate pair.
std::optional<std::string> ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
        return std::nullopt;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// Windows' ExpandEnvironmentStrings: %NAME% of a known variable (names without case) is
// replaced; anything else stays as written.
std::u16string Expand(std::u16string_view text,
                      const std::map<std::u16string, std::u16string>& variables) {
  std::u16string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find(u'%', pos);
    if (open == std::u16string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const std::size_t close = text.find(u'%', open + 1);
    if (close == std::u16string_view::npos) {
      pos = open;
      break;
    }
    const std::u16string name(text.substr(open + 1, close - open - 1));
    const auto found = variables.find(Folded(name));
    if (found != variables.end()) {
      out.append(found->second);
      pos = close + 1;
    } else {
      out.push_back(u'%');  // the closing '%' may open the next name
      pos = open + 1;
    }
  }
  out.append(text.substr(std::min(pos, text.size())));
  return out;
}

// What a 32-bit program in the prefix finds in its environment: Wine's own settings, then
// the system environment kept in the registry.
std::map<std::u16string, std::u16string> SystemEnvironment(const RegistryFile& file,
                                                           std::size_t firstEnvironmentKey) {
  std::map<std::u16string, std::u16string> variables{
      {u"systemdrive", u"C:"},
      {u"systemroot", u"C:\\windows"},
      {u"windir", u"C:\\windows"},
      {u"programfiles", file.is64Bit ? u"C:\\Program Files (x86)" : u"C:\\Program Files"},
      {u"programdata", u"C:\\ProgramData"},
      {u"allusersprofile", u"C:\\ProgramData"},
  };
  const auto builtIn = variables;
  for (std::size_t i = firstEnvironmentKey; i < file.keys.size(); ++i) {
    for (const auto& [name, value] : file.keys[i]) {
      if (value.type == kRegSz) variables[name] = value.text;
      if (value.type == kRegExpandSz) variables[name] = Expand(value.text, builtIn);
    }
  }
  return variables;
}

bool Is64BitPrefix(const RegistryFile& file, const fs::path& prefix) {
  if (file.archGiven) return file.is64Bit;
  std::error_code error;
  return fs::is_directory(prefix / "drive_c" / "windows" / "syswow64", error);
}

fs::path SystemRegistryOf(const std::string& prefix) { return fs::path(prefix) / "system.reg"; }

bool IsPrefix(const fs::path& folder) {
  std::error_code error;
  return fs::is_regular_file(folder / "system.reg", error);
}

// ---- Mapping Windows paths ------------------------------------------------------------

// The entry of `folder` that Windows would open for `name`: the exact name, else the one
// name equal without regard to ASCII case.
MapProblem FindEntry(const fs::path& folder, const std::string& name, fs::path& found) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(folder / name, error))) {
    found = folder / name;
    return MapProblem::kNone;
  }
  int matches = 0;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (SameNameNoCase(it->path().filename().string(), name)) {
      found = it->path();
      ++matches;
    }
  }
  if (matches == 0) return MapProblem::kNotFound;
  return matches == 1 ? MapProblem::kNone : MapProblem::kAmbiguous;
}

// ---- Steam's library list -------------------------------------------------------------

// The library folders that libraryfolders.vdf lists: every "path" value, and in the old
// format the numbered values directly inside the root block. Valve's text format: quoted
// (or bare) tokens, a key followed by a value or by a block in braces, // comments.
std::vector<std::string> ParseLibraryFolders(std::string_view text) {
  std::vector<std::string> paths;
  std::size_t pos = 0;
  auto token = [&](std::string& out, bool& quoted) -> bool {
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++pos;
      } else if (c == '/' && pos + 1 < text.size() && text[pos + 1] == '/') {
        pos = text.find('\n', pos);
        if (pos == std::string_view::npos) pos = text.size();
      } else {
        break;
      }
    }
    if (pos >= text.size()) return false;
    out.clear();
    quoted = text[pos] == '"';
    if (text[pos] == '{' || text[pos] == '}') {
      out.push_back(text[pos++]);
      return true;
    }
    if (quoted) {
      for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
        if (text[pos] == '\\' && pos + 1 < text.size()) {
          const char e = text[++pos];
          out.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e);
        } else {
          out.push_back(text[pos]);
        }
      }
      ++pos;
      return true;
    }
    constexpr std::string_view kEndsBareToken = " \t\r\n{}\"";
    while (pos < text.size() && kEndsBareToken.find(text[pos]) == std::string_view::npos) {
      out.push_back(text[pos++]);
    }
    return true;
  };
  int depth = 0;
  std::string key;
  std::string value;
  bool quoted = false;
  while (token(key, quoted)) {
    if (!quoted && key == "}") {
      if (--depth < 0) break;
      continue;
    }
    if (!token(value, quoted)) break;
    if (!quoted && value == "{") {
      ++depth;
      continue;
    }
    const bool numbered = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
      return c >= '0' && c <= '9';
    });
    if (SameNameNoCase(key, "path") || (depth == 1 && numbered)) paths.push_back(value);
  }
  return paths;
}

std::vector<fs::path> SortedSubfolders(const fs::path& folder) {
  std::vector<fs::path> folders;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code kind;
    if (it->is_directory(kind)) folders.push_back(it->path());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

std::string Home() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

// One key per folder however it is reached (~/.steam/steam is usually a link to
// ~/.local/share/Steam, and libraries list themselves).
std::string Identity(const fs::path& folder) {
  std::error_code error;
  const fs::path canonical = fs::canonical(folder, error);
  return (error ? folder.lexically_normal() : canonical).string();
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::string DescribeMapProblem(MapProblem problem, std::string_view windowsPath) {
  const std::string named = "its registry names the game folder " + std::string(windowsPath);
  switch (problem) {
    case MapProblem::kNotADrivePath:
      return named + ", which is not a path on a drive";
    case MapProblem::kNoSuchDrive:
      return named + ", but the prefix has no drive " + std::string(windowsPath.substr(0, 2)) +
             " (no link in dosdevices)";
    case MapProblem::kNotFound:
      return named + ", which does not exist";
    case MapProblem::kAmbiguous:
      return named + ", which matches several folders whose names differ only in case";
    case MapProblem::kNone:
      break;
  }
  return named;
}

}  // namespace

std::optional<std::string> ReadInstallPath(const std::string& prefix) {
  const std::optional<std::string> text = ReadWholeFile(SystemRegistryOf(prefix));
  if (!text) return std::nullopt;
  const std::string game = std::string(kGameKey).substr(std::string_view("SOFTWARE\\").size());
  const std::vector<std::string> wanted{
      "Software\\" + game,
      "Software\\Wow6432Node\\" + game,
      "System\\ControlSet001\\Control\\Session Manager\\Environment",
      "System\\CurrentControlSet\\Control\\Session Manager\\Environment",
  };
  const std::optional<RegistryFile> file = ParseRegistry(*text, wanted);
  if (!file) return std::nullopt;
  const KeyValues& key = file->keys[Is64BitPrefix(*file, prefix) ? 1 : 0];
  const auto found = key.find(Folded(u"Install Path"));
  if (found == key.end()) return std::nullopt;
  const RegValue& value = found->second;
  if (value.type != kRegSz && value.type != kRegExpandSz) return std::nullopt;
  // The whole value must fit a path buffer, as the Windows read demands; like there, text
  // after an embedded terminator does not count.
  if (value.text.size() > kMaxValueLength) return std::nullopt;
  std::u16string text16 = value.text.substr(0, value.text.find(u'\0'));
  if (value.type == kRegExpandSz) {
    text16 = Expand(text16, SystemEnvironment(*file, 2));
    if (text16.size() > kMaxValueLength) return std::nullopt;
  }
  if (text16.empty()) return std::nullopt;
  return ToUtf8(text16);
}

MappedPath MapWindowsPath(const std::string& prefix, std::string_view windowsPath) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  const bool drivePath = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                         FoldAscii(windowsPath[0]) >= 'a' && FoldAscii(windowsPath[0]) <= 'z' &&
                         (windowsPath.size() == 2 || separator(windowsPath[2]));
  if (!drivePath) return {MapProblem::kNotADrivePath, {}};

  const fs::path devices = fs::path(prefix) / "dosdevices";
  fs::path drive;
  const char lower = FoldAscii(windowsPath[0]);
  for (const char letter : {lower, static_cast<char>(lower - 'a' + 'A')}) {
    std::error_code error;
    const fs::path link = devices / (std::string(1, letter) + ":");
    const fs::file_status status = fs::symlink_status(link, error);
    if (fs::is_symlink(status)) {
      const fs::path target = fs::read_symlink(link, error);
      if (error) continue;
      drive = (target.is_absolute() ? target : devices / target).lexically_normal();
      break;
    }
    if (fs::is_directory(status)) {
      drive = link;
      break;
    }
  }
  std::error_code error;
  if (drive.empty() || !fs::is_directory(drive, error)) return {MapProblem::kNoSuchDrive, {}};

  // Windows folds "." and ".." as text, and ".." stops at the drive's root.
  std::vector<std::string> components;
  std::size_t pos = 2;
  while (pos < windowsPath.size()) {
    while (pos < windowsPath.size() && separator(windowsPath[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < windowsPath.size() && !separator(windowsPath[pos])) ++pos;
    const std::string_view component = windowsPath.substr(start, pos - start);
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else {
      components.emplace_back(component);
    }
  }
  fs::path path = drive;
  for (const std::string& component : components) {
    fs::path found;
    const MapProblem problem = FindEntry(path, component, found);
    if (problem != MapProblem::kNone) return {problem, {}};
    path = found;
  }
  return {MapProblem::kNone, path.string()};
}

std::vector<Prefix> DiscoverPrefixes() {
  std::vector<Prefix> prefixes;
  const std::string home = Home();
  if (home.empty()) return prefixes;
  const fs::path homePath(home);
  std::set<std::string> seen;
  auto add = [&](const fs::path& folder, std::string origin) {
    if (IsPrefix(folder) && seen.insert(Identity(folder)).second) {
      prefixes.push_back({folder.string(), std::move(origin)});
    }
  };

  // Steam: each installation is a library, and its libraryfolders.vdf lists the others.
  const fs::path steamRoots[] = {
      homePath / ".steam" / "steam",
      homePath / ".local" / "share" / "Steam",
      homePath / ".var" / "app" / "com.valvesoftware.Steam" / ".local" / "share" / "Steam",
  };
  // A library reached twice adds nothing the second time (see `add`).
  std::vector<fs::path> libraries;
  for (const fs::path& root : steamRoots) {
    libraries.push_back(root);
    if (const auto vdf = ReadWholeFile(root / "steamapps" / "libraryfolders.vdf")) {
      for (const std::string& library : ParseLibraryFolders(*vdf)) libraries.emplace_back(library);
    }
  }
  for (const fs::path& library : libraries) {
    for (const fs::path& app : SortedSubfolders(library / "steamapps" / "compatdata")) {
      add(app / "pfx", "Steam (Proton), app " + app.filename().string());
    }
  }

  for (const fs::path& game : SortedSubfolders(homePath / "Games")) add(game, "Lutris");
  for (const fs::path& bottle :
       SortedSubfolders(homePath / ".local" / "share" / "bottles" / "bottles")) {
    add(bottle, "Bottles");
  }
  for (const fs::path& bottle : SortedSubfolders(homePath / ".var" / "app" /
                                                 "com.usebottles.bottles" / "data" / "bottles" /
                                                 "bottles")) {
    add(bottle, "Bottles (Flatpak)");
  }
  return prefixes;
}

PrefixExamination ExaminePrefix(const Prefix& prefix) {
  PrefixExamination result;
  if (!IsPrefix(prefix.path)) {
    result.problem = "it is not a Wine prefix (it has no system.reg)";
    return result;
  }
  const std::optional<std::string> windowsPath = ReadInstallPath(prefix.path);
  if (!windowsPath) {
    result.problem = "its registry does not name the game folder (no usable \"" +
                     std::string(kInstallPathValue) + "\" for X-Wing vs. TIE Fighter 2.0)";
    return result;
  }
  const MappedPath mapped = MapWindowsPath(prefix.path, *windowsPath);
  std::error_code error;
  if (mapped.problem != MapProblem::kNone) {
    result.problem = DescribeMapProblem(mapped.problem, *windowsPath);
  } else if (!fs::is_directory(mapped.path, error)) {
    result.problem =
        DescribeMapProblem(MapProblem::kNone, *windowsPath) + ", which is not a folder";
  } else {
    result.holdsGame = true;
    result.game = {prefix.path, prefix.origin, *windowsPath, mapped.path};
  }
  return result;
}

std::vector<FoundGame> FindGames() {
  std::vector<Prefix> prefixes;
  if (const char* variable = std::getenv("WINEPREFIX"); variable != nullptr && *variable != '\0') {
    prefixes.push_back({Absolute(variable), "WINEPREFIX"});
  }
  if (const std::string home = Home(); !home.empty()) {
    prefixes.push_back({(fs::path(home) / ".wine").string(), "~/.wine"});
  }
  for (Prefix& prefix : DiscoverPrefixes()) prefixes.push_back(std::move(prefix));

  // Two prefixes may name one folder (through z:, which Wine links to /): one copy.
  std::vector<FoundGame> games;
  std::set<std::string> seenPrefixes;
  std::set<std::string> seenFolders;
  for (const Prefix& prefix : prefixes) {
    if (!seenPrefixes.insert(Identity(prefix.path)).second) continue;
    PrefixExamination examination = ExaminePrefix(prefix);
    if (examination.holdsGame && seenFolders.insert(Identity(examination.game.folder)).second) {
      games.push_back(std::move(examination.game));
    }
  }
  return games;
}

Location LocateGame(const std::string& prefix) {
  Location location;
  auto found = [&](FoundGame game) {
    location.outcome = Located::kFound;
    location.game = std::move(game);
    return location;
  };
  if (!prefix.empty()) {
    PrefixExamination examination = ExaminePrefix({Absolute(prefix), "--prefix"});
    if (examination.holdsGame) return found(std::move(examination.game));
    location.outcome = Located::kNotInPrefix;
    location.problem = "the Wine prefix " + prefix + " does not hold the game: " +
                       examination.problem;
    return location;
  }
  if (const char* variable = std::getenv("WINEPREFIX"); variable != nullptr && *variable != '\0') {
    PrefixExamination examination = ExaminePrefix({Absolute(variable), "WINEPREFIX"});
    if (examination.holdsGame) return found(std::move(examination.game));
  }
  if (const std::string home = Home(); !home.empty()) {
    PrefixExamination examination = ExaminePrefix({(fs::path(home) / ".wine").string(), "~/.wine"});
    if (examination.holdsGame) return found(std::move(examination.game));
  }
  std::vector<FoundGame> games = FindGames();
  if (games.size() == 1) return found(std::move(games.front()));
  if (games.empty()) {
    location.outcome = Located::kNone;
    location.problem = kNoGameFoundText;
    return location;
  }
  location.outcome = Located::kSeveral;
  location.candidates = std::move(games);
  return location;
}

}  // namespace registry
