#include "engine/Script.h"

#include "engine/Messages.h"
#include "engine/PathText.h"
#include "platform/TextStream.h"

namespace engine {
namespace {

// Only A-Z are folded: the script's other bytes (code page characters) compare exactly.
std::string FoldCommandWord(std::string word) {
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return word;
}

}  // namespace

bool ReadInstallScript(const char* path, std::vector<ScriptCommand>* commands, Report* report) {
  host::TextReader reader;
  if (!reader.Open(path)) {
    const host::DWORD error = host::GetLastError();
    report->Fail(IsNotFound(error) ? messages::ScriptMissing()
                                   : messages::ScriptUnreadable(path, error),
                 error);
    return false;
  }
  std::string word, second, third;
  int number = 0;
  while (reader.ReadToken(word)) {
    ++number;
    if (!reader.ReadToken(second) || !reader.ReadToken(third)) {
      report->Warn(messages::CommandCutShort(word));
      break;
    }
    const std::string folded = FoldCommandWord(word);
    if (folded == "copyfile") {
      commands->push_back({ScriptCommand::Kind::kCopyFile, number, word, second, third});
    } else if (folded == "patchfile") {
      commands->push_back({ScriptCommand::Kind::kPatchFile, number, word, second, third});
    } else {
      report->Warn(messages::UnknownCommand(number, word));
    }
  }
  if (reader.ReadError()) {
    const host::DWORD error = host::GetLastError();
    report->Fail(messages::ScriptUnreadable(path, error), error);
    return false;
  }
  return true;
}

}  // namespace engine
