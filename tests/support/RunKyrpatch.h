// Runs kyrpatch in-process (the same code as the program's main) in a package folder, for
// tests of the command line. Header-only: the suites that use it link the front end.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Host.h"

namespace testing_support {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

// `kyrpatch -C packageFolder args...`; the current directory is `returnTo` afterwards.
inline Outcome RunKyrpatch(const std::string& packageFolder,
                           const std::vector<std::string>& args, const std::string& returnTo) {
  std::vector<const char*> argv{"kyrpatch", "-C", packageFolder.c_str()};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out;
  std::ostringstream err;
  const int code = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
  host::SetCurrentDirectoryA(returnTo.c_str());
  return {code, out.str(), err.str()};
}

}  // namespace testing_support
