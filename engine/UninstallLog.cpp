#include "engine/UninstallLog.h"

#include "engine/Messages.h"
#include "engine/PathText.h"
#include "platform/Paths.h"
#include "platform/TextStream.h"

namespace engine {
namespace {

// A first line names a saved copy when it lies inside the backup folder as a plain
// relative name, as every pair the install writes does.
bool IsSavedCopy(const std::string& line, const std::string& backupFolder) {
  if (line.size() <= backupFolder.size() + 1) return false;
  if (!host::SamePath(std::string_view(line).substr(0, backupFolder.size()), backupFolder)) {
    return false;
  }
  if (!host::IsSeparator(line[backupFolder.size()])) return false;
  const std::string_view inside = std::string_view(line).substr(backupFolder.size() + 1);
  return host::CheckRelativeName(inside) == host::NameProblem::kNone;
}

// A second line belongs to its first when it ends in a separator and the saved copy's name.
bool EndsInName(const std::string& line, std::string_view name) {
  if (name.empty() || line.size() <= name.size()) return false;
  const std::size_t start = line.size() - name.size();
  return host::IsSeparator(line[start - 1]) &&
         host::SamePath(std::string_view(line).substr(start), name);
}

}  // namespace

bool MakePackagePaths(const char* packageFolder, PackagePaths* paths, std::string* tooLong) {
  const std::string_view folder = packageFolder;
  auto join = [&](std::initializer_list<std::string_view> pieces, std::string* path) {
    if (JoinPath(pieces, path)) return true;
    tooLong->clear();
    for (std::string_view piece : pieces) *tooLong += piece;
    return false;
  };
  if (!join({folder, "\\Temp\\"}, &paths->stagingPrefix) ||
      !join({folder, "\\Temp\\", "Install.cfg"}, &paths->scriptPath) ||
      !join({folder, "\\QUARN Backup"}, &paths->backupFolder) ||
      !join({folder, "\\QUARN Backup\\"}, &paths->backupPrefix) ||
      !join({folder, "\\QUARN Backup\\", "Uninstall.cfg"}, &paths->logPath)) {
    return false;
  }
  if (!FitsWithTemporary(paths->logPath)) {
    *tooLong = paths->logPath + host::kTemporarySuffix;
    return false;
  }
  return true;
}

LogState ReadLogFile(const std::string& logPath, const std::string& backupFolder,
                     bool refuseDriveLetters, UninstallLog* log, std::string* problem) {
  *log = UninstallLog();
  problem->clear();
  host::TextReader reader;
  if (!reader.Open(logPath.c_str())) return LogState::kAbsent;

  char buffer[host::kMaxPath];
  int line = 1;
  auto malformed = [&](std::string text) {
    *problem = std::move(text);
    *log = UninstallLog();
    return LogState::kMalformed;
  };
  // Reads the next line; false at the end of the log, or on an overlong line (`overlong`).
  auto next = [&](std::string* text, bool* overlong) {
    const bool stored = reader.ReadLine(buffer);
    *overlong = reader.Failed() && !reader.AtEnd();
    *text = buffer;
    return stored;
  };

  bool overlong = false;
  next(&log->gameFolder, &overlong);
  if (overlong) return malformed(messages::LogLineTooLong(line));
  if (refuseDriveLetters && HasDrive(log->gameFolder)) {
    return malformed(messages::LogFromWindows(line));
  }
  while (!reader.AtEnd()) {
    LogPair pair;
    const int first = ++line;
    if (!next(&pair.backupPath, &overlong)) {
      if (overlong) return malformed(messages::LogLineTooLong(first));
      break;  // the log ends after a complete pair
    }
    if (reader.AtEnd()) break;  // a first line without its second: an interrupted install
    const int second = ++line;
    if (!next(&pair.gameFilePath, &overlong)) {
      if (overlong) return malformed(messages::LogLineTooLong(second));
      break;  // the log ends right after a first line
    }
    const bool lastLine = reader.AtEnd();
    if (refuseDriveLetters) {
      if (HasDrive(pair.backupPath)) return malformed(messages::LogFromWindows(first));
      if (HasDrive(pair.gameFilePath)) return malformed(messages::LogFromWindows(second));
    }
    if (!IsSavedCopy(pair.backupPath, backupFolder)) {
      return malformed(messages::LogNotSavedCopy(first, pair.backupPath, backupFolder));
    }
    const std::string_view name = host::LastComponent(pair.backupPath);
    if (!EndsInName(pair.gameFilePath, name)) {
      if (lastLine) break;  // a second line cut short by an interruption
      return malformed(messages::LogNotMatching(second, pair.gameFilePath, name));
    }
    log->pairs.push_back(std::move(pair));
  }
  if (reader.ReadError()) {
    return malformed(messages::LogUnreadable(logPath, host::GetLastError()));
  }
  return LogState::kReadable;
}

bool WriteLogDurably(const std::string& logPath, const UninstallLog& log, host::DWORD* error) {
  char temporary[host::kMaxPath];
  if (!host::TemporaryPathFor(logPath.c_str(), temporary)) {
    *error = host::kErrorFilenameExcedRange;
    return false;
  }
  host::TextWriter writer;
  bool written = writer.Create(temporary);
  if (written) {
    writer.WriteLine(log.gameFolder.c_str());
    for (const LogPair& pair : log.pairs) {
      writer.WriteLine(pair.backupPath.c_str());
      writer.WriteLine(pair.gameFilePath.c_str());
    }
    written = writer.Sync();
  }
  if (!written) *error = host::GetLastError();
  if (!writer.Close() && written) {
    written = false;
    *error = host::GetLastError();
  }
  if (written && !host::MoveFileReplaceDurably(temporary, logPath.c_str())) {
    written = false;
    *error = host::GetLastError();
  }
  if (!written) host::DeleteFileA(temporary);
  return written;
}

}  // namespace engine
