// Finding the installed game: the folder that the game's installer recorded in the registry,
// value kInstallPathValue of the key kGameKey below HKEY_LOCAL_MACHINE, read in the 32-bit
// view of the registry (the game and its installer are 32-bit programs, so a 64-bit system
// keeps their key there).
//
// On Windows that is the system's own registry (locator_win32.cpp). On Linux the game runs
// inside a Wine prefix (plain Wine, Lutris, Bottles, or Steam's Proton), whose machine
// registry is the text file system.reg and whose drive letters are the links in dosdevices/
// (locator_wine.cpp); a recorded "C:\Games\XvT" is turned into the Linux folder it names.
//
// A value counts only when it is text (REG_SZ, or REG_EXPAND_SZ after expansion) of 1 to 259
// characters; anything else is treated as missing. Only folders that exist are reported as
// games. This module reads and never writes; nothing here throws.
//
// Front ends (kyrpatch, the dialogs) call LocateGame to propose the game folder, FindGames to
// list every copy, and show the texts in Location::problem as they are.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

inline constexpr char kGameKey[] =
    "SOFTWARE\\LucasArts Entertainment Company\\X-Wing vs. TIE Fighter\\2.0";
inline constexpr char kInstallPathValue[] = "Install Path";

// A value that does not fit a path buffer (260 bytes with its terminator) is not used.
inline constexpr std::size_t kMaxValueLength = 259;

// What a front end says when no copy of the game is found (Location::problem of kNone).
#ifdef _WIN32
inline constexpr char kNoGameFoundText[] =
    "the registry does not name an existing folder of X-Wing vs. TIE Fighter 2.0";
#else
inline constexpr char kNoGameFoundText[] =
    "no installed X-Wing vs. TIE Fighter 2.0 was found in the Wine prefixes searched "
    "(WINEPREFIX, ~/.wine, Steam's Proton prefixes, Lutris' ~/Games, Bottles)";
#endif

// One installed copy of the game.
struct FoundGame {
  std::string prefix;       // the Wine prefix whose registry names it; empty on Windows
  std::string origin;       // where that prefix was found, for the player ("Lutris", ...)
  std::string windowsPath;  // the registry value, as the game's installer wrote it (expanded)
  std::string folder;       // the game folder on this system; an existing folder
};

// Every copy of the game this system knows, each folder once. Windows: the registry's (none
// or one). Linux: the prefix in WINEPREFIX, ~/.wine, then every prefix DiscoverPrefixes
// finds, in that order.
std::vector<FoundGame> FindGames();

enum class Located {
  kFound,        // `game` is the copy to use
  kSeveral,      // no single answer: `candidates` lists the copies found (two or more)
  kNone,         // no copy found; `problem` says why (kNoGameFoundText, or what the registry names)
  kNotInPrefix,  // the prefix the player named does not hold the game; `problem` says why
};

struct Location {
  Located outcome = Located::kNone;
  FoundGame game;
  std::vector<FoundGame> candidates;
  std::string problem;  // a sentence for the player (kNone, kNotInPrefix), without a final stop
};

// The game folder to propose, first answer wins:
//   Windows: the registry (`prefix` must be empty);
//   Linux: the prefix `prefix` when not empty (its answer is final: kFound or kNotInPrefix),
//   else the prefix in WINEPREFIX, else ~/.wine, else FindGames: exactly one copy is
//   kFound, several are kSeveral, none is kNone.
Location LocateGame(const std::string& prefix = {});

#ifdef _WIN32

// The registry's value, in the 32-bit view, REG_EXPAND_SZ expanded; none when the key or
// the value is missing, is no text, is empty or does not fit kMaxValueLength characters.
std::optional<std::string> ReadInstallPath();

#else  // Wine prefixes on Linux

// The value in the prefix's system.reg (32-bit view: under Software\Wow6432Node in a 64-bit
// prefix, "#arch=win64" or a drive_c/windows/syswow64 folder, else the plain key), as UTF-8
// text; REG_EXPAND_SZ is expanded with the prefix's system environment. None under the
// same rules as on Windows, and when `prefix` has no readable system.reg.
std::optional<std::string> ReadInstallPath(const std::string& prefix);

enum class MapProblem {
  kNone,
  kNotADrivePath,  // not of the form "X:\..." (relative, "X:name", a network path)
  kNoSuchDrive,    // dosdevices/ has no link for the drive, or its target is no folder
  kNotFound,       // a component does not exist
  kAmbiguous,      // a component matches several names that differ only in case, none exactly
};

struct MappedPath {
  MapProblem problem = MapProblem::kNone;
  std::string path;  // the Linux path when problem is kNone
};

// The Linux path that the Windows path `windowsPath` names inside `prefix`: the drive
// through prefix/dosdevices/<letter>:, then each component matched as Windows would (exact
// name first, else the one name equal without regard to ASCII case); "." and ".." are
// folded as text. The path must exist (file or folder).
MappedPath MapWindowsPath(const std::string& prefix, std::string_view windowsPath);

struct Prefix {
  std::string path;
  std::string origin;  // for the player: "Steam (Proton), app 311210", "Lutris", "Bottles", ...
};

// Every Wine prefix (a folder with a system.reg) in the usual places below $HOME, each once
// even when reached by several paths: the Proton prefixes steamapps/compatdata/*/pfx of every
// Steam library (the Steam folders themselves and those listed in their
// steamapps/libraryfolders.vdf; native and Flatpak Steam), Lutris' ~/Games/*, and Bottles'
// bottles (native and Flatpak). Not WINEPREFIX nor ~/.wine.
std::vector<Prefix> DiscoverPrefixes();

struct PrefixExamination {
  bool holdsGame = false;
  FoundGame game;       // when holdsGame
  std::string problem;  // otherwise: why not, for the player
};

// Whether `prefix` holds the game: a registry value that maps to an existing folder.
PrefixExamination ExaminePrefix(const Prefix& prefix);

#endif

}  // namespace registry
