#include "cli/Cli.h"

#include <string>
#include <string_view>
#include <vector>

#include "engine/Report.h"
#include "platform/Host.h"
#include "registry/GameLocator.h"
#include "sequences/Sequences.h"

namespace cli {
namespace {

constexpr char kUsageLine[] =
    "usage: kyrpatch [-C DIR] install [--game DIR | --prefix DIR] | uninstall | status | find-game";

constexpr char kHelp[] =
    "Usage: kyrpatch [-C DIR] COMMAND [OPTIONS]\n"
    "\n"
    "Installs and uninstalls the Kyr Ship Patch for X-Wing vs. TIE Fighter 2.0.\n"
    "The package folder is the current directory: it holds the package \"Kyr.jxf\",\n"
    "and the install keeps the saved game files and the uninstall log there, in\n"
    "\"QUARN Backup\".\n"
    "\n"
    "Commands:\n"
    "  install              install the patch into the game folder\n"
    "  uninstall            undo the recorded install: put the saved game files back\n"
    "  status               show whether an install is recorded, and what it changed\n"
    "  find-game            list every installed copy of the game that can be found\n"
    "\n"
    "Options:\n"
    "  -C DIR               work as if started in DIR\n"
    "  --game DIR           the game folder (install)\n"
    "  --prefix DIR         the Wine prefix that holds the game (install, Linux)\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "Without --game, install takes the folder that the game's installer recorded in the\n"
    "registry. On Linux that registry is a Wine prefix's: the one given with --prefix,\n"
    "else WINEPREFIX, else ~/.wine, else the only copy found in Steam's Proton prefixes,\n"
    "Lutris' ~/Games or Bottles (several copies: choose one with --game).\n"
    "\n"
    "Exit status: 0 success, 1 the command failed (the reason is on standard error),\n"
    "2 a usage error, or several copies of the game and no --game.\n";

struct Arguments {
  std::string command;
  std::string directory;  // -C
  std::string gameFolder;
  bool gameGiven = false;
  std::string prefix;  // --prefix: a Wine prefix that holds the game
  bool prefixGiven = false;
  bool help = false;
  bool version = false;
};

// Fills `args`; on a usage error returns false with `problem` set.
bool Parse(int argc, const char* const* argv, Arguments& args, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string& into, std::string_view option) {
      if (i + 1 >= argc) {
        problem = "option " + std::string(option) + " needs a value";
        return false;
      }
      into = argv[++i];
      return true;
    };
    if (arg == "-h" || arg == "--help") {
      args.help = true;
    } else if (arg == "--version") {
      args.version = true;
    } else if (arg == "-C") {
      if (!value(args.directory, arg)) return false;
    } else if (arg == "--game") {
      if (!value(args.gameFolder, arg)) return false;
      args.gameGiven = true;
    } else if (arg.rfind("--game=", 0) == 0) {
      args.gameFolder = std::string(arg.substr(7));
      args.gameGiven = true;
    } else if (arg == "--prefix") {
      if (!value(args.prefix, arg)) return false;
      args.prefixGiven = true;
    } else if (arg.rfind("--prefix=", 0) == 0) {
      args.prefix = std::string(arg.substr(9));
      args.prefixGiven = true;
    } else if (!arg.empty() && arg[0] == '-') {
      problem = "unknown option " + std::string(arg);
      return false;
    } else if (args.command.empty()) {
      args.command = std::string(arg);
    } else {
      problem = "unexpected argument " + std::string(arg);
      return false;
    }
  }
  if (args.help || args.version) return true;
  if (args.command.empty()) {
    problem = "no command given";
    return false;
  }
  if (args.command != "install" && args.command != "uninstall" && args.command != "status" &&
      args.command != "find-game") {
    problem = "unknown command " + args.command;
    return false;
  }
  if (args.command != "install" && (args.gameGiven || args.prefixGiven)) {
    problem = std::string(args.gameGiven ? "--game" : "--prefix") + " belongs to install";
    return false;
  }
  if (args.gameGiven && args.prefixGiven) {
    problem = "give either the game folder (--game) or its Wine prefix (--prefix), not both";
    return false;
  }
  if (args.prefixGiven && host::kIsWindows) {
    problem = "--prefix names a Wine prefix; on Windows the game is found in the registry";
    return false;
  }
  if (args.prefixGiven && args.prefix.empty()) {
    problem = "--prefix needs a folder";
    return false;
  }
  return true;
}

void PrintProblems(const engine::Report& report, engine::Severity severity, std::ostream& err) {
  const char* prefix = severity == engine::Severity::kWarning ? "warning: " : "";
  for (const engine::Problem& problem : report.Problems()) {
    if (problem.severity == severity) err << prefix << problem.text << '\n';
  }
}

// The folder, then where it was found: the registry value and, on Linux, its prefix.
std::string Describe(const registry::FoundGame& game) {
  std::string text = game.folder + "\n    ";
  if (game.prefix.empty()) return text + game.windowsPath + " in the registry\n";
  return text + game.windowsPath + " in the Wine prefix " + game.prefix + " (" + game.origin +
         ")\n";
}

constexpr char kGiveGameFolder[] = "Give the game folder with: kyrpatch install --game DIR";

// Without --game the game folder is the one the registry names (see LocateGame). Returns
// kExitSuccess with `gameFolder` set, or the exit code after saying why not.
int ResolveGameFolder(const Arguments& args, std::string& gameFolder, std::ostream& out,
                      std::ostream& err) {
  const registry::Location location = registry::LocateGame(args.prefix);
  switch (location.outcome) {
    case registry::Located::kFound:
      out << "Game folder: " << Describe(location.game);
      gameFolder = location.game.folder;
      return kExitSuccess;
    case registry::Located::kSeveral:
      err << "kyrpatch: several copies of the game were found; choose one with --game DIR:\n";
      for (const registry::FoundGame& game : location.candidates) err << "  " << Describe(game);
      return kExitUsage;
    case registry::Located::kNone:
    case registry::Located::kNotInPrefix:
      break;
  }
  err << "kyrpatch: " << location.problem << ".\n" << kGiveGameFolder << '\n';
  return kExitFailure;
}

int Install(const Arguments& args, std::ostream& out, std::ostream& err) {
  std::string gameFolder = args.gameFolder;
  if (!args.gameGiven) {
    if (const int code = ResolveGameFolder(args, gameFolder, out, err); code != kExitSuccess) {
      return code;
    }
  }
  const sequences::InstallResult result = sequences::Install(gameFolder.c_str());
  if (result.outcome == sequences::InstallOutcome::kInstalled) {
    out << sequences::kInstalledText << '\n';
    PrintProblems(result.report, engine::Severity::kWarning, err);
    return kExitSuccess;
  }
  if (result.outcome != sequences::InstallOutcome::kPackageMissing) {
    err << sequences::kNotInstalledText << '\n';
  }
  PrintProblems(result.report, engine::Severity::kFailure, err);
  PrintProblems(result.report, engine::Severity::kWarning, err);
  return kExitFailure;
}

int Uninstall(std::ostream& out, std::ostream& err) {
  const sequences::UninstallResult result = sequences::Uninstall();
  if (result.succeeded) {
    out << sequences::kUninstalledText << '\n';
    PrintProblems(result.report, engine::Severity::kWarning, err);
    return kExitSuccess;
  }
  err << sequences::kNotUninstalledText << '\n';
  PrintProblems(result.report, engine::Severity::kFailure, err);
  PrintProblems(result.report, engine::Severity::kWarning, err);
  return kExitFailure;
}

int FindGame(std::ostream& out, std::ostream& err) {
  const std::vector<registry::FoundGame> games = registry::FindGames();
  if (games.empty()) {
    err << "kyrpatch: " << registry::kNoGameFoundText << ".\n" << kGiveGameFolder << '\n';
    return kExitFailure;
  }
  for (const registry::FoundGame& game : games) out << Describe(game);
  return kExitSuccess;
}

int Status(std::ostream& out, std::ostream& err) {
  const sequences::Status status = sequences::ReadStatus();
  if (!status.installed) {
    out << "No install is recorded in this package folder.\n";
    return kExitSuccess;
  }
  if (!status.readable) {
    err << "The uninstall log cannot be used: " << status.problem << '\n';
    return kExitFailure;
  }
  out << "Installed into: " << status.gameFolder << '\n';
  if (status.pairs.empty()) out << "No game file was replaced.\n";
  for (const sequences::PairStatus& pair : status.pairs) {
    if (pair.savedCopyExists) {
      out << "  replaced  " << pair.gameFilePath << "\n            original saved as "
          << pair.backupPath << '\n';
    } else {
      out << "  added     " << pair.gameFilePath << " (no original: stays after uninstall)\n";
    }
  }
  return kExitSuccess;
}

}  // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  Arguments args;
  std::string problem;
  if (!Parse(argc, argv, args, problem)) {
    err << "kyrpatch: " << problem << '\n' << kUsageLine << '\n';
    return kExitUsage;
  }
  if (args.help) {
    out << kHelp;
    return kExitSuccess;
  }
  if (args.version) {
    out << "kyrpatch " << KYR_VERSION << '\n';
    return kExitSuccess;
  }
  // A relative game folder or prefix means relative to where the command was typed, so it
  // is made absolute before -C moves the current directory; the log then holds the full path.
  for (std::string* path : {&args.gameFolder, &args.prefix}) {
    if (path->empty()) continue;
    char full[host::kMaxPath];
    const host::DWORD length = host::GetFullPathNameA(path->c_str(), host::kMaxPath, full);
    if (length > 0 && length < host::kMaxPath) *path = full;
  }
  if (!args.directory.empty() && !host::SetCurrentDirectoryA(args.directory.c_str())) {
    err << "kyrpatch: cannot work in " << args.directory << ": no such folder\n";
    return kExitFailure;
  }
  if (args.command == "install") return Install(args, out, err);
  if (args.command == "uninstall") return Uninstall(out, err);
  if (args.command == "find-game") return FindGame(out, err);
  return Status(out, err);
}

}  // namespace cli
