// The command-line front end `kyrpatch`: parses the arguments, runs the install, the
// uninstall or the status over the same sequences as the dialogs, or finds the installed
// game (find-game; install without --game), and prints the outcome.
#pragma once

#include <ostream>

namespace cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the operation failed; stderr says why
inline constexpr int kExitUsage = 2;    // the command line was wrong, or several games and no --game

// Runs one command line (argv[0] is the program name). Normal output goes to `out`,
// problems and warnings to `err`. Returns the process exit code.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace cli
