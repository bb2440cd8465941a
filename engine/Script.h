// The install script "Install.cfg": whitespace-separated triples of tokens (command word,
// second token, third token). Lines carry no meaning; a 0x1A byte ends the script.
#pragma once

#include <string>
#include <vector>

#include "engine/Report.h"

namespace engine {

struct ScriptCommand {
  enum class Kind { kCopyFile, kPatchFile };
  Kind kind;
  int number;          // position in the script, counting every command from 1
  std::string word;    // the command word as written
  std::string second;  // used as read, with its case
  std::string third;
};

// Reads the whole script at `path` into `commands`, in script order. Command words are
// compared with A-Z folded to a-z; any other word is skipped with its two tokens, and a
// last command cut short by the end of the script is skipped; both add a warning to
// `report`. Returns false, with a failure in `report`, when the script cannot be read.
bool ReadInstallScript(const char* path, std::vector<ScriptCommand>* commands, Report* report);

}  // namespace engine
