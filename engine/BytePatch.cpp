#include "engine/BytePatch.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/PathText.h"

namespace engine {
namespace {

constexpr std::size_t kHeaderSize = 13;
constexpr std::uint32_t kLargestOffset = 0x7FFFFFFFu;  // the offset is a signed 32-bit value

// Buffered reading of a binary file through the host layer.
class ByteReader {
 public:
  explicit ByteReader(const char* path)
      : file_(host::CreateFileA(path, host::kGenericRead, host::kOpenExisting)) {
    if (file_ == host::kInvalidHandle) error_ = host::GetLastError();
  }
  ~ByteReader() {
    if (file_ != host::kInvalidHandle) host::CloseHandle(file_);
  }
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool IsOpen() const { return file_ != host::kInvalidHandle; }
  host::DWORD Error() const { return error_; }

  // Copies the next `count` bytes to `destination`; false when the data end first or a
  // read fails (then Error() is set).
  bool Read(unsigned char* destination, std::size_t count) {
    while (count > 0) {
      if (position_ == size_ && !Fill()) return false;
      const std::size_t take = std::min(count, size_ - position_);
      std::memcpy(destination, buffer_.data() + position_, take);
      position_ += take;
      destination += take;
      count -= take;
    }
    return true;
  }

 private:
  bool Fill() {
    host::DWORD read = 0;
    if (!host::ReadFile(file_, buffer_.data(), static_cast<host::DWORD>(buffer_.size()), &read)) {
      error_ = host::GetLastError();
      return false;
    }
    position_ = 0;
    size_ = read;
    return read > 0;
  }

  host::HANDLE file_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(64 * 1024);
  std::size_t position_ = 0;
  std::size_t size_ = 0;
  host::DWORD error_ = 0;
};

std::uint32_t Little32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Receives one record's run: its offset, data and length. False stops the walk.
using RunSink = std::function<bool(std::uint32_t, const unsigned char*, unsigned)>;

enum class Walk { kDone, kSinkFailed, kProblem };

// Walks the records of the byte patch file in file order, handing each run to `sink`.
// Stops at the first problem of the file (described in `problem`) or of the sink.
Walk WalkBytePatch(const char* path, const RunSink& sink, std::string* problem,
                   host::DWORD* error) {
  *error = 0;
  ByteReader reader(path);
  if (!reader.IsOpen()) {
    *error = reader.Error();
    *problem = messages::PatchCannotOpen(path, *error);
    return Walk::kProblem;
  }
  auto cutShort = [&](std::string text) {
    *error = reader.Error();
    *problem = *error != 0 ? messages::PatchReadError(path, *error) : std::move(text);
    return Walk::kProblem;
  };
  unsigned char header[kHeaderSize + 2];
  if (!reader.Read(header, sizeof header)) return cutShort(messages::PatchHeaderCutShort(path));
  const std::uint32_t count = static_cast<std::uint32_t>(header[kHeaderSize]) |
                              static_cast<std::uint32_t>(header[kHeaderSize + 1]) << 8;
  unsigned char head[5];
  unsigned char data[255];
  for (std::uint32_t record = 1; record <= count; ++record) {
    if (!reader.Read(head, sizeof head)) {
      return cutShort(messages::PatchCutShort(path, record, count));
    }
    const std::uint32_t offset = Little32(head);
    const unsigned length = head[4];
    if (offset > kLargestOffset) {
      *problem = messages::PatchOffsetTooLarge(path, record, offset);
      return Walk::kProblem;
    }
    if (!reader.Read(data, length)) return cutShort(messages::PatchCutShort(path, record, count));
    if (!sink(offset, data, length)) return Walk::kSinkFailed;
  }
  return Walk::kDone;
}

}  // namespace

bool CheckBytePatch(const char* path, std::string* problem, host::DWORD* error) {
  const RunSink ignore = [](std::uint32_t, const unsigned char*, unsigned) { return true; };
  return WalkBytePatch(path, ignore, problem, error) == Walk::kDone;
}

// The target is never written in place: its records go into a copy beside it, which is
// flushed and renamed over it, so the target holds its old or its new bytes, never a mix.
int ApplyBytePatch(const char* bytePatchPath, const char* targetPath, Report* report) {
  Report local;
  Report& out = report ? *report : local;
  std::string problem;
  host::DWORD error = 0;
  if (!CheckBytePatch(bytePatchPath, &problem, &error)) {
    out.Fail(problem, error);
    return 1;
  }
  const std::string target = targetPath;
  switch (Probe(target, &error)) {
    case Found::kFile: break;
    case Found::kMissing: out.Fail(messages::TargetMissing(target), error); return 1;
    case Found::kFolder: out.Fail(messages::IsAFolder(target)); return 1;
    case Found::kReadOnlyFile:
      out.Fail(messages::ReadOnly(target), host::kErrorAccessDenied);
      return 1;
    case Found::kAmbiguous: out.Fail(messages::Ambiguous(target), error); return 1;
    case Found::kError: out.Fail(messages::CannotExamine(target, error), error); return 1;
  }
  char temporary[host::kMaxPath];
  if (!host::TemporaryPathFor(targetPath, temporary)) {
    out.Fail(messages::PathTooLong(target + host::kTemporarySuffix));
    return 1;
  }
  auto fail = [&](host::DWORD why, host::HANDLE file) {
    if (file != host::kInvalidHandle) host::CloseHandle(file);
    host::DeleteFileA(temporary);
    out.Fail(messages::NotPatched(target, why), why);
    return 1;
  };
  if (!host::CopyFileA(targetPath, temporary, 0)) {
    return fail(host::GetLastError(), host::kInvalidHandle);
  }
  host::HANDLE file =
      host::CreateFileA(temporary, host::kGenericRead | host::kGenericWrite, host::kOpenExisting);
  if (file == host::kInvalidHandle) return fail(host::GetLastError(), host::kInvalidHandle);

  host::DWORD writeError = 0;
  const RunSink write = [&](std::uint32_t offset, const unsigned char* data, unsigned length) {
    if (length == 0) return true;
    if (!host::SetFilePointerFromStart(file, offset)) {
      writeError = host::GetLastError();
      return false;
    }
    unsigned done = 0;
    while (done < length) {
      host::DWORD written = 0;
      if (!host::WriteFile(file, data + done, length - done, &written) || written == 0) {
        writeError = host::GetLastError();
        if (writeError == 0) writeError = host::kErrorWriteFault;
        return false;
      }
      done += written;
    }
    return true;
  };
  switch (WalkBytePatch(bytePatchPath, write, &problem, &error)) {
    case Walk::kDone: break;
    case Walk::kSinkFailed: return fail(writeError, file);
    case Walk::kProblem:
      // The file changed since it was checked: nothing of it reaches the target.
      host::CloseHandle(file);
      host::DeleteFileA(temporary);
      out.Fail(problem, error);
      return 1;
  }
  if (!host::FlushFileBuffers(file)) return fail(host::GetLastError(), file);
  if (!host::CloseHandle(file)) return fail(host::GetLastError(), host::kInvalidHandle);
  if (!host::MoveFileReplaceDurably(temporary, targetPath)) {
    return fail(host::GetLastError(), host::kInvalidHandle);
  }
  return 0;
}

}  // namespace engine
