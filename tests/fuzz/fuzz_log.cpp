// The uninstall log reader on any bytes: a log it accepts lists only saved copies inside
// the backup folder, and a log it refuses says why. The backup folder is named as a
// relative folder that the seed logs can name too.
#include <cstdlib>
#include <string>

#include "engine/Engine.h"
#include "engine/UninstallLog.h"
#include "platform/Paths.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string logPath = fuzzing::ScratchFolder() + "/Uninstall.cfg";
  static const std::string backup = "Kyr Patch\\QUARN Backup";
  fuzzing::WriteInput(logPath, data, size);
  for (const bool refuseDriveLetters : {false, true}) {
    engine::UninstallLog log;
    std::string problem;
    switch (engine::ReadLogFile(logPath, backup, refuseDriveLetters, &log, &problem)) {
      case engine::LogState::kAbsent:
        std::abort();  // the log was just written
      case engine::LogState::kMalformed:
        if (problem.empty()) std::abort();
        break;
      case engine::LogState::kReadable:
        for (const engine::LogPair& pair : log.pairs) {
          // Names compare without regard to case, as on Windows.
          if (pair.backupPath.size() <= backup.size() + 1 ||
              !host::SamePath(std::string_view(pair.backupPath).substr(0, backup.size()),
                              backup)) {
            std::abort();
          }
          std::string component;
          for (const char c : pair.backupPath.substr(backup.size()) + "\\") {
            if (c != '\\' && c != '/') {
              component += c;
              continue;
            }
            if (component == ".." || component == ".") std::abort();
            component.clear();
          }
          if (pair.gameFilePath.empty()) std::abort();
        }
        break;
    }
  }
  return 0;
}
