#include "cli/Cli.h"

#include <string>
#include <string_view>

#include "engine/Report.h"
#include "platform/Host.h"
#include "sequences/Sequences.h"

namespace cli {
namespace {

constexpr char kUsageLine[] = "usage: kyrpatch [-C DIR] install --game DIR | uninstall | status";

constexpr char kHelp[] =
    "Usage: kyrpatch [-C DIR] COMMAND [OPTIONS]\n"
    "\n"
    "Installs and uninstalls the Kyr Ship Patch for X-Wing vs. TIE Fighter 2.0.\n"
    "The package folder is the current directory: it holds the package \"Kyr.jxf\",\n"
    "and the install keeps the saved game files and the uninstall log there, in\n"
    "\"QUARN Backup\".\n"
    "\n"
    "Commands:\n"
    "  install --game DIR   install the patch into the game folder DIR\n"
    "  uninstall            undo the recorded install: put the saved game files back\n"
    "  status               show whether an install is recorded, and what it changed\n"
    "\n"
    "Options:\n"
    "  -C DIR               work as if started in DIR\n"
    "  --game DIR           the game folder (install)\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 the command failed (the reason is on standard error),\n"
    "2 a usage error.\n";

struct Arguments {
  std::string command;
  std::string directory;  // -C
  std::string gameFolder;
  bool gameGiven = false;
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
  if (args.command != "install" && args.command != "uninstall" && args.command != "status") {
    problem = "unknown command " + args.command;
    return false;
  }
  if (args.command == "install" && !args.gameGiven) {
    problem = "install needs the game folder: --game DIR";
    return false;
  }
  if (args.command != "install" && args.gameGiven) {
    problem = "--game belongs to install";
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

int Install(const Arguments& args, std::ostream& out, std::ostream& err) {
  const sequences::InstallResult result = sequences::Install(args.gameFolder.c_str());
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
  // A relative game folder means relative to where the command was typed, so it is made
  // absolute before -C moves the current directory; the log then holds the full path.
  if (args.gameGiven && !args.gameFolder.empty()) {
    char full[host::kMaxPath];
    const host::DWORD length =
        host::GetFullPathNameA(args.gameFolder.c_str(), host::kMaxPath, full);
    if (length > 0 && length < host::kMaxPath) args.gameFolder = full;
  }
  if (!args.directory.empty() && !host::SetCurrentDirectoryA(args.directory.c_str())) {
    err << "kyrpatch: cannot work in " << args.directory << ": no such folder\n";
    return kExitFailure;
  }
  if (args.command == "install") return Install(args, out, err);
  if (args.command == "uninstall") return Uninstall(out, err);
  return Status(out, err);
}

}  // namespace cli
