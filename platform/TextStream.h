// Text streams over host files, with the text-mode rules of the platform's C library, so
// that the Windows and the Linux program write and read identical bytes:
//   - in memory a line ends with LF; on disk with CR LF (each LF written becomes CR LF);
//   - when reading, a CR directly before an LF is dropped, and a byte 0x1A ends the data.
// A stream that cannot be opened fails quietly: reads deliver nothing, writes do nothing;
// IsOpen() and Failed() tell the caller.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Host.h"

namespace host {

class TextReader {
 public:
  TextReader() = default;
  explicit TextReader(const char* path) { Open(path); }
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  bool Open(const char* path);
  void Close();
  bool IsOpen() const { return file_ != kInvalidHandle; }

  // The next character after text-mode translation, or -1 at the end of the data (the end
  // of the file, a 0x1A byte, or a read error: see ReadError()); -1 marks the end met, and
  // a read error marks the stream failed too. A stream that is not open gives -1 and fails
  // without meeting the end.
  int Get();
  // Puts back the character just returned by Get (one level); -1 is ignored.
  void Unget(int c);

  // Reads one line into `buffer` (kMaxPath bytes) by these rules, in this order:
  //  1. A stream already failed or at its end stores an empty text and fails at once.
  //  2. Characters are taken one at a time: at the end of the data, stop and mark the end;
  //     at LF, consume it and stop; when 259 characters are stored already, stop and mark
  //     the stream failed (that character stays unread); else store it.
  //  3. The text is always terminated. 4. If nothing was taken, the stream fails too.
  // Returns true when a line (possibly empty) was stored without failing.
  bool ReadLine(char* buffer);

  // Skips whitespace (space, \t, \n, \v, \f, \r) and takes the run of characters up to the
  // next whitespace (left unread) or the end. Returns false, with `token` empty, when the
  // end came before any character of a token. Tokens are never cut.
  bool ReadToken(std::string& token);

  bool AtEnd() const { return atEnd_; }
  bool Failed() const { return failed_; }
  bool ReadError() const { return readError_; }

 private:
  bool Fill();  // false when no byte is left in the data
  int RawByte();

  HANDLE file_ = kInvalidHandle;
  unsigned char buffer_[4096];
  std::size_t size_ = 0;
  std::size_t position_ = 0;
  int pushed_ = -1;
  bool atEnd_ = false;
  bool failed_ = false;
  bool readError_ = false;
  bool dataEnded_ = false;
};

class TextWriter {
 public:
  TextWriter() = default;
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Creates or empties `path` (never appends).
  bool Create(const char* path);
  // Opens an existing `path` and positions at its end, for adding lines.
  bool OpenForAppend(const char* path);
  bool IsOpen() const { return file_ != kInvalidHandle; }

  // Writes `text`; every LF in it goes to disk as CR LF.
  void Write(const char* text);
  // Writes `text` and a line end, and hands the line to the file system.
  void WriteLine(const char* text);
  // Hands buffered text to the file system.
  bool Flush();
  // Flush(), then forces the data onto the disk (FlushFileBuffers).
  bool Sync();
  // Flushes and closes; false when any write since opening failed.
  bool Close();
  bool Failed() const { return failed_; }

 private:
  void Put(char c);

  HANDLE file_ = kInvalidHandle;
  char buffer_[4096];
  std::size_t size_ = 0;
  bool failed_ = false;
};

}  // namespace host
