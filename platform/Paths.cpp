#include "platform/Paths.h"

#include <cstring>

namespace host {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Windows opens a device instead of a file for these base names, whatever the extension
// and whatever spaces stand before it. The superscript digits 1-3 (bytes B9, B2, B3 of
// the ANSI code page) count as digits here too.
bool IsReservedDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  if (EqualsFolded(base, "con") || EqualsFolded(base, "prn") || EqualsFolded(base, "aux") ||
      EqualsFolded(base, "nul")) {
    return true;
  }
  if (base.size() != 4) return false;
  if (!EqualsFolded(base.substr(0, 3), "com") && !EqualsFolded(base.substr(0, 3), "lpt")) {
    return false;
  }
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

NameProblem CheckComponent(std::string_view component) {
  if (component.empty()) return NameProblem::kEmpty;
  if (component == "..") return NameProblem::kParentComponent;
  for (char c : component) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return NameProblem::kControlCharacter;
  }
  if (component.find(':') != std::string_view::npos) return NameProblem::kColon;
  if (component.find_first_of("<>\"|?*") != std::string_view::npos) {
    return NameProblem::kWildcardOrReserved;
  }
  if (component.back() == '.' || component.back() == ' ') {
    return NameProblem::kTrailingDotOrSpace;
  }
  if (IsReservedDeviceName(component)) return NameProblem::kReservedDevice;
  return NameProblem::kNone;
}

}  // namespace

bool SamePath(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // From the end: paths in one list share their folders and differ in their names, and
  // lists of thousands of files are searched with this.
  for (std::size_t i = a.size(); i-- > 0;) {
    if (IsSeparator(a[i]) && IsSeparator(b[i])) continue;
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool AppendToPath(char* buffer, std::string_view piece) {
  const std::size_t used = std::strlen(buffer);
  if (used + piece.size() > kMaxPath - 1) return false;
  std::memcpy(buffer + used, piece.data(), piece.size());
  buffer[used + piece.size()] = '\0';
  return true;
}

bool CopyToPath(char* buffer, std::string_view text) {
  buffer[0] = '\0';
  return AppendToPath(buffer, text);
}

std::string_view ParentOf(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/");
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last);
}

std::string_view LastComponent(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/");
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

// A name from a package is joined below a folder this program chose (the game folder, the
// staging folder, the backup folder), so it must neither leave that folder nor mean
// something else to Windows than it means to Linux. Refused, in this order:
//   - nothing at all, and names longer than a path buffer holds (they could not be joined);
//   - a leading "\\" pair: a network share or a device namespace ("\\?\", "\\.\");
//   - a leading separator, unless the caller's rules allow it ("\Data" in a copy command
//     names a game subfolder): it would otherwise start at the root of a drive;
//   - "X:" at the start: a drive, or a drive-relative path, is outside every folder;
//   - then, component by component: an empty one ("a\\b"; a single trailing separator is
//     accepted, as ZIP folder entries end in '/'), "..", control characters (also NUL),
//     ':' (alternate data streams), the characters Windows never allows in a name
//     (< > " | ? *; they would also act as wildcards in a folder listing), a trailing '.'
//     or ' ' (Windows drops them, so "a." and "a" would be one file there and two here;
//     "." itself is refused for the same reason: "a\.\b" and "a\b" would be two names for
//     one file), and the reserved device names, with any extension ("con.txt", "COM1.dat").
NameProblem CheckRelativeName(std::string_view name, NameRules rules) {
  if (name.empty()) return NameProblem::kEmpty;
  if (name.size() > kMaxPath - 1) return NameProblem::kTooLong;
  if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) {
    return NameProblem::kUncPrefix;
  }
  std::string_view rest = name;
  if (IsSeparator(rest[0])) {
    if (!rules.leadingSeparatorAllowed) return NameProblem::kAbsolute;
    rest.remove_prefix(1);
    if (rest.empty()) return NameProblem::kNone;  // the folder itself
  }
  if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == ':') return NameProblem::kDrive;
  if (IsSeparator(rest.back())) rest.remove_suffix(1);
  while (true) {
    const std::size_t end = rest.find_first_of("\\/");
    const NameProblem problem = CheckComponent(rest.substr(0, end));
    if (problem != NameProblem::kNone) return problem;
    if (end == std::string_view::npos) return NameProblem::kNone;
    rest.remove_prefix(end + 1);
  }
}

const char* DescribeNameProblem(NameProblem problem) {
  switch (problem) {
    case NameProblem::kNone: return "is acceptable";
    case NameProblem::kEmpty: return "is empty or has an empty part";
    case NameProblem::kAbsolute: return "starts with a separator, outside its folder";
    case NameProblem::kUncPrefix: return "names a network or device path";
    case NameProblem::kDrive: return "names a drive";
    case NameProblem::kParentComponent: return "climbs out of its folder with \"..\"";
    case NameProblem::kColon: return "contains a ':'";
    case NameProblem::kReservedDevice: return "uses a name Windows keeps for a device";
    case NameProblem::kTrailingDotOrSpace: return "has a part that ends in a dot or a space";
    case NameProblem::kControlCharacter: return "contains a control character";
    case NameProblem::kTooLong: return "is too long for a path";
    case NameProblem::kWildcardOrReserved:
      return "contains a character Windows does not allow in names";
  }
  return "is not acceptable";
}

bool GoesThroughLink(const std::string& path, std::size_t rootLength, std::string* link) {
  std::size_t at = rootLength;
  while (at < path.size()) {
    while (at < path.size() && IsSeparator(path[at])) ++at;
    if (at == path.size()) break;
    std::size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string prefix = path.substr(0, end);
    const DWORD attributes = GetFileAttributesA(prefix.c_str());
    if (attributes == kInvalidFileAttributes) return false;
    if ((attributes & kAttributeReparsePoint) != 0) {
      if (link) *link = prefix;
      return true;
    }
    at = end;
  }
  return false;
}

}  // namespace host
