// Path text helpers shared by every subsystem: how this program decides that two paths name
// the same file, and how it builds paths in path buffers without ever overrunning them.
#pragma once

#include <string>
#include <string_view>

#include "platform/Host.h"

namespace host {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// True when `a` and `b` name the same file as Windows sees it: '/' and '\' alike, ASCII
// letters compared without case. (Bytes above 0x7F compare exactly.)
bool SamePath(std::string_view a, std::string_view b);

// Appends `piece` to the text in `buffer` (kMaxPath bytes) with nothing between them.
// Returns false, leaving `buffer` as it was, when the result would exceed 259 characters.
bool AppendToPath(char* buffer, std::string_view piece);
// Copies `text` into `buffer` (kMaxPath bytes); false (and empty) when it does not fit.
bool CopyToPath(char* buffer, std::string_view text);

// True when a folder or file of `path` after its first `rootLength` characters is a symbolic
// link or another reparse point, found with GetFileAttributesA; `link` then receives the
// path up to that component. The first missing component ends the search. The game and
// package folders may themselves be reached through links, so callers pass them as the root
// and refuse to write through any link below it.
bool GoesThroughLink(const std::string& path, std::size_t rootLength, std::string* link);

// The text before the last separator, or empty when there is none.
std::string_view ParentOf(std::string_view path);
// The text after the last separator (the whole text when there is none).
std::string_view LastComponent(std::string_view path);

// Why a relative name taken from a package (an archive entry name, an install script token)
// is refused. Such a name must stay inside the folder it is joined to and must mean the same
// file on Windows and on Linux; the checks are decided here, in one place, for both.
enum class NameProblem {
  kNone,
  kEmpty,               // no characters, or an empty component inside ("a\\b")
  kAbsolute,            // begins with a separator where none belongs
  kUncPrefix,           // begins with two separators (a network or device path)
  kDrive,               // a drive ("C:") at its start
  kParentComponent,     // a ".." component: would climb out of its folder
  kColon,               // a ':' elsewhere (alternate data streams on Windows)
  kReservedDevice,      // CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, with or without extension
  kTrailingDotOrSpace,  // Windows drops them, so two names would meet in one file
  kControlCharacter,    // bytes 0x01-0x1F, 0x7F
  kTooLong,             // more characters than a path buffer can hold
  kWildcardOrReserved,  // < > " | ? *: never part of a Windows name
};

struct NameRules {
  bool leadingSeparatorAllowed = false;  // "\Data" as the game subfolder of a copy command
};

// Checks `name` component by component ('\' and '/' separate). The first problem wins.
// One trailing separator is accepted (a folder entry of an archive); with
// leadingSeparatorAllowed a lone separator names the folder itself and is accepted.
// ("." is refused like every component that ends in a dot.)
NameProblem CheckRelativeName(std::string_view name, NameRules rules = {});
// A short phrase for a player: "climbs out of its folder with \"..\"", ...
const char* DescribeNameProblem(NameProblem problem);

}  // namespace host
