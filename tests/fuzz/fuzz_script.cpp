// The install script reader on any bytes: it must read every command or report why not,
// and every command it returns must carry its three tokens.
#include <cstdlib>
#include <vector>

#include "engine/Report.h"
#include "engine/Script.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzing::ScratchFolder() + "/Install.cfg";
  fuzzing::WriteInput(path, data, size);
  std::vector<engine::ScriptCommand> commands;
  engine::Report report;
  if (engine::ReadInstallScript(path.c_str(), &commands, &report)) {
    int previous = 0;
    for (const engine::ScriptCommand& command : commands) {
      if (command.word.empty() || command.second.empty() || command.third.empty()) std::abort();
      if (command.number <= previous) std::abort();
      previous = command.number;
    }
  }
  return 0;
}
