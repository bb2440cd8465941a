// Package extraction: opens the ZIP patch package and writes its entries, with their
// folders and times, below a destination folder (the staging folder).
//
// Reading the archive is minizip's work over zlib; this extractor walks its entries and
// writes them through the host layer. Entry data stream through one 2048-byte buffer.
// Refused, on every system: entry names that would land outside the destination ("..",
// absolute names, drives), names that Windows would misread, names too long for a path
// buffer, data whose CRC-32 or length does not match the entry, entries whose data overlap
// in the archive, and archives that expand beyond a limit. A file whose data turned out
// damaged is removed again. Every failure is a false result with a reason in LastProblem();
// nothing throws.
//
// Paths: '\' and '/' both separate components (the host layer accepts both); names taken
// from the archive have their '/' replaced by '\'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Host.h"

namespace package {

// Description of the current entry, as minizip reads it from the central directory.
struct ZipEntryInfo {
  char name[261];  // '/' replaced by '\'; a longer name is cut to its first 260 characters
  char comment[256];
  std::uint32_t versionMadeBy;
  std::uint32_t versionNeeded;
  std::uint32_t generalFlags;
  std::uint32_t compressionMethod;  // 0 stored, 8 deflated
  std::uint32_t dosDateTime;        // MS-DOS date (high 16 bits) and time (low 16 bits)
  std::uint32_t crc;
  std::uint32_t compressedSize;
  std::uint32_t uncompressedSize;
  std::uint32_t internalAttributes;
  std::uint32_t externalAttributes;
  bool isFolder;  // bit 0x10 of externalAttributes, and nothing else
};

// What an extraction wrote: the full paths of the files written and of the folders
// created, in the order it happened, so parents come before their children. A file is
// listed once however often it was written (also an empty one left by an entry that could
// not be read, and one cut short by a failed write); a file removed again because its data
// were damaged is not listed.
struct ExtractionRecord {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// One open archive and its current entry. Every operation that needs an archive returns
// false at once, with no effect, while none is open.
class ZipExtractor {
 public:
  // Opens `archivePath` when given (see Open); the result is dropped.
  explicit ZipExtractor(const char* archivePath = nullptr);
  virtual ~ZipExtractor();
  ZipExtractor(const ZipExtractor&) = delete;
  ZipExtractor& operator=(const ZipExtractor&) = delete;

  // Closes whatever was open and forgets the record, then opens the archive at
  // `archivePath` (relative names resolve against the current directory). The first entry
  // becomes current. False when the name is absent or empty, too long, or names no
  // readable ZIP archive.
  bool Open(const char* archivePath);
  // Closes the archive. False when none was open.
  bool Close();
  // Fills `info` for the current entry (zeroed first). False, with `info` untouched, when
  // no archive is open; false when the entry's description cannot be read.
  bool ReadEntryInfo(ZipEntryInfo& info);
  // Without `extension` (null or empty): moves one entry on; false on the last entry,
  // which stays current. With one: moves forward to the next entry whose last name
  // component has that extension (without the dot, case ignored); the current entry is
  // never examined. False when none follows, the last entry then being current.
  bool MoveToNextEntry(const char* extension = nullptr);
  // Writes the current entry below `destinationFolder` (the archive's path without its
  // extension when null), making missing folders. A folder entry makes its folder. With
  // `flattenPaths`, a file goes straight into the destination under its last name
  // component. On success the file carries the entry's time as its creation and last-write
  // time. False when the entry is refused or cannot be written; see the file comment.
  bool ExtractCurrentEntry(const char* destinationFolder, bool flattenPaths);
  // Writes every entry below `destinationFolder`, in archive order, stopping at the first
  // that fails (those before it stay written, and listed in Record()). Before writing any
  // entry it refuses the archive when its entries together announce more than the
  // expansion limit, when their data overlap in the archive, or when its list of entries
  // is damaged. False also for an archive without entries (after the destination was
  // made). The archive stays open.
  bool ExtractAll(const char* destinationFolder, bool flattenPaths);

  // Everything written since the last Open.
  const ExtractionRecord& Record() const { return record_; }
  // Why the last operation failed, in a player's words (empty after success).
  const std::string& LastProblem() const { return lastProblem_; }
  // Bound on the bytes all entries of one archive may expand to; counted per ExtractAll,
  // and across ExtractCurrentEntry calls since the last Open or ExtractAll.
  void SetExpansionLimit(std::uint64_t bytes) { expansionLimit_ = bytes; }
  static constexpr std::uint64_t kDefaultExpansionLimit = 4ull << 30;

 private:
  void CloseArchive();
  bool Fail(std::string problem);
  bool ExtractEntry(const char* destination, bool flattenPaths);
  bool NoLinkBelow(const char* destination, const char* target, const std::string& name);
  bool CheckWholeArchive(std::uint64_t entryCount);
  void RecordFile(const char* path);
  void ForgetFile(const char* path);

  void* archive = nullptr;  // minizip's unzFile
  char archiveFolder[host::kMaxPath] = {};
  ExtractionRecord record_;
  std::string lastProblem_;
  std::uint64_t expansionLimit_ = kDefaultExpansionLimit;
  std::uint64_t expanded_ = 0;
};

// Makes the folder `path` and every missing folder above it, listing each folder it
// creates in `record` when given. True when `path` is a folder afterwards (also when it
// was one before); false when the path is empty, when it or a folder above it is a file,
// or a folder cannot be made. A path without any separator that does not exist gives
// true and makes nothing.
bool MakeDirectoryTree(const char* path, ExtractionRecord* record = nullptr);
// MakeDirectoryTree on the text before the last separator of `path`; false when `path`
// has no separator.
bool MakeParentDirectories(const char* path, ExtractionRecord* record = nullptr);
// Sets the creation and last-write time of the file at `path` to `dosDateTime` (MS-DOS
// date in the high 16 bits, time in the low 16 bits) read as local time with the offset in
// force now; the last-access time stays. False when the file cannot be opened or a time
// cannot be read, converted or set.
bool ApplyDosTimestamp(const char* path, std::uint32_t dosDateTime);

// How the extractor takes paths apart and joins them (both '\' and '/' separate).
// The extension of `path`'s last component without its dot: what follows the last dot of
// that component ("x.tar.gz" gives "gz", ".cfg" gives "cfg"); empty without a dot.
std::string_view ExtensionOf(std::string_view path);
// `path` without the extension of its last component and its dot ("C:\Pkg\Kyr.jxf" gives
// "C:\Pkg\Kyr", "a.b.zip" gives "a.b"); `path` itself when that component has no dot.
std::string_view WithoutExtension(std::string_view path);
// `folder`, a '\' unless `folder` is empty or already ends in a separator, and `name`,
// into `buffer` (kMaxPath bytes). False, with `buffer` empty, when the result would exceed
// 259 characters.
bool JoinPath(std::string_view folder, std::string_view name, char* buffer);

}  // namespace package
