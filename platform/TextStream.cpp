#include "platform/TextStream.h"

#include <cstring>

namespace host {
namespace {

constexpr int kEndOfData = 0x1A;

bool IsWhitespace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

// ---- TextReader ----------------------------------------------------------------------

TextReader::~TextReader() { Close(); }

bool TextReader::Open(const char* path) {
  Close();
  file_ = CreateFileA(path, kGenericRead, kOpenExisting);
  // A stream that could not be opened has failed without meeting the end of its data.
  failed_ = file_ == kInvalidHandle;
  return !failed_;
}

void TextReader::Close() {
  if (file_ != kInvalidHandle) CloseHandle(file_);
  file_ = kInvalidHandle;
  size_ = 0;
  position_ = 0;
  pushed_ = -1;
  atEnd_ = false;
  failed_ = false;
  readError_ = false;
  dataEnded_ = false;
}

bool TextReader::Fill() {
  if (position_ < size_) return true;
  if (dataEnded_ || file_ == kInvalidHandle) return false;
  DWORD read = 0;
  position_ = 0;
  size_ = 0;
  if (!ReadFile(file_, buffer_, sizeof buffer_, &read)) {
    readError_ = true;
    dataEnded_ = true;
    return false;
  }
  if (read == 0) {
    dataEnded_ = true;
    return false;
  }
  size_ = read;
  return true;
}

int TextReader::RawByte() {
  if (!Fill()) return -1;
  const int c = buffer_[position_++];
  if (c == kEndOfData) {
    dataEnded_ = true;
    size_ = position_ = 0;
    return -1;
  }
  return c;
}

int TextReader::Get() {
  if (pushed_ >= 0) {
    const int c = pushed_;
    pushed_ = -1;
    return c;
  }
  if (file_ == kInvalidHandle) {
    failed_ = true;
    return -1;
  }
  int c = RawByte();
  if (c == '\r' && Fill() && buffer_[position_] == '\n') {
    ++position_;
    c = '\n';
  }
  if (c < 0) {
    // A read error ends the data too, so that no loop waiting for the end runs forever.
    atEnd_ = true;
    if (readError_) failed_ = true;
  }
  return c;
}

void TextReader::Unget(int c) {
  if (c < 0) return;
  pushed_ = c;
  atEnd_ = false;
}

bool TextReader::ReadLine(char* buffer) {
  buffer[0] = '\0';
  if (failed_ || atEnd_) {
    failed_ = true;
    return false;
  }
  std::size_t stored = 0;
  bool took = false;
  while (true) {
    const int c = Get();
    if (c < 0) {
      atEnd_ = true;
      break;
    }
    if (c == '\n') {
      took = true;
      break;
    }
    if (stored == kMaxPath - 1) {
      Unget(c);
      failed_ = true;
      break;
    }
    buffer[stored++] = static_cast<char>(c);
    took = true;
  }
  buffer[stored] = '\0';
  if (!took) failed_ = true;
  return !failed_;
}

bool TextReader::ReadToken(std::string& token) {
  token.clear();
  int c = Get();
  while (c >= 0 && IsWhitespace(c)) c = Get();
  if (c < 0) return false;
  while (c >= 0 && !IsWhitespace(c)) {
    token.push_back(static_cast<char>(c));
    c = Get();
  }
  Unget(c);
  return true;
}

// ---- TextWriter ----------------------------------------------------------------------

TextWriter::~TextWriter() { Close(); }

bool TextWriter::Create(const char* path) {
  Close();
  file_ = CreateFileA(path, kGenericWrite, kCreateAlways);
  failed_ = file_ == kInvalidHandle;
  return !failed_;
}

bool TextWriter::OpenForAppend(const char* path) {
  Close();
  file_ = CreateFileA(path, kGenericWrite, kOpenExisting);
  failed_ = file_ == kInvalidHandle;
  if (failed_) return false;
  const std::int64_t size = GetFileSizeOf(file_);
  if (size < 0 || !SetFilePointerFromStart(file_, size)) {
    CloseHandle(file_);
    file_ = kInvalidHandle;
    failed_ = true;
  }
  return !failed_;
}

void TextWriter::Put(char c) {
  if (size_ == sizeof buffer_) Flush();
  buffer_[size_++] = c;
}

void TextWriter::Write(const char* text) {
  if (file_ == kInvalidHandle || failed_) return;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\n') Put('\r');
    Put(*p);
  }
}

void TextWriter::WriteLine(const char* text) {
  Write(text);
  Write("\n");
  Flush();
}

bool TextWriter::Flush() {
  if (file_ == kInvalidHandle || failed_) {
    size_ = 0;
    return false;
  }
  std::size_t done = 0;
  while (done < size_) {
    DWORD written = 0;
    if (!WriteFile(file_, buffer_ + done, static_cast<DWORD>(size_ - done), &written) ||
        written == 0) {
      failed_ = true;
      break;
    }
    done += written;
  }
  size_ = 0;
  return !failed_;
}

bool TextWriter::Sync() {
  if (!Flush()) return false;
  if (!FlushFileBuffers(file_)) failed_ = true;
  return !failed_;
}

bool TextWriter::Close() {
  if (file_ == kInvalidHandle) return !failed_;
  Flush();
  if (!CloseHandle(file_)) failed_ = true;
  file_ = kInvalidHandle;
  return !failed_;
}

}  // namespace host
