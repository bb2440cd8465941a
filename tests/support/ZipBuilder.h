// Real ZIP archives for tests, written with minizip's zip.h writer, and byte-level edits of
// a finished archive for damaged or hostile packages (a changed compression method, data
// that no longer match their CRC-32, sizes that lie, entries that share their data).
// Failures throw std::runtime_error: a test that cannot build its archive must stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace testing_support {

// An MS-DOS date (high 16 bits) and time (low 16 bits) as ZIP keeps them; seconds are
// stored in steps of two.
constexpr std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute,
                                    int second) {
  const auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
  const auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
  return (date << 16) | time;
}

inline constexpr std::uint32_t kDefaultDosDateTime = DosDateTime(2001, 5, 17, 13, 45, 30);
inline constexpr std::uint32_t kDosArchiveAttribute = 0x20;
inline constexpr std::uint32_t kDosDirectoryAttribute = 0x10;

enum class ZipMethod : std::uint16_t { kStored = 0, kDeflated = 8 };

struct ZipEntryOptions {
  ZipMethod method = ZipMethod::kDeflated;
  std::uint32_t dosDateTime = kDefaultDosDateTime;
  std::uint32_t externalAttributes = kDosArchiveAttribute;
  std::string comment;
};

// Writes a new archive at `path` (replacing a file there). Entries are added in archive
// order; the central directory is written by Finish (or, failing that, the destructor).
// Names are stored exactly as given: "../x", "C:x" and 300-character names included.
class ZipBuilder {
 public:
  explicit ZipBuilder(std::string path);
  // The archive follows `prefix` in the file, as one does after a self-extractor's code.
  // (minizip's reader cannot find an end record that starts the file, as in an archive
  // without entries; a prefix makes such an archive readable.)
  ZipBuilder(std::string path, const Bytes& prefix);
  ~ZipBuilder();
  ZipBuilder(const ZipBuilder&) = delete;
  ZipBuilder& operator=(const ZipBuilder&) = delete;

  ZipBuilder& AddFile(const std::string& name, const Bytes& data,
                      const ZipEntryOptions& options = {});
  ZipBuilder& AddFile(const std::string& name, const std::string& text,
                      const ZipEntryOptions& options = {});
  // A folder entry: stored, no data, the MS-DOS directory attribute. Give the name with
  // its trailing '/' as archivers do ("data/").
  ZipBuilder& AddFolder(const std::string& name, std::uint32_t dosDateTime = kDefaultDosDateTime);
  // Completes the archive; returns its path. Adding afterwards throws.
  const std::string& Finish();

 private:
  std::string path_;
  void* zip_ = nullptr;  // minizip's zipFile
};

// Where an entry lies in a finished archive, read from its central directory.
struct ZipEntryLayout {
  std::string name;
  std::uint64_t centralHeader = 0;  // offset of its central directory record
  std::uint64_t localHeader = 0;    // offset of its local header
  std::uint64_t data = 0;           // offset of its first byte of stored data
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
};

// Every entry of the archive at `path`, in central directory order.
std::vector<ZipEntryLayout> ReadZipLayout(const std::string& path);

// The edits below change the archive at `path` in place; `entry` is an entry name as
// stored. Fields that both headers carry are changed in both, so minizip still finds the
// headers consistent and meets the change only when it reads the data.
void SetZipMethod(const std::string& path, const std::string& entry, std::uint16_t method);
void SetZipCrc(const std::string& path, const std::string& entry, std::uint32_t crc);
void SetZipUncompressedSize(const std::string& path, const std::string& entry,
                            std::uint32_t size);
// Inverts the bits of one byte of the entry's stored data. On a stored entry the data
// still read to their end but no longer match the CRC-32.
void FlipZipDataByte(const std::string& path, const std::string& entry,
                     std::uint32_t index = 0);
// Sets one byte of the entry's stored data (0x07 as the first byte of deflated data is a
// block of the reserved type, which inflate refuses at once).
void SetZipDataByte(const std::string& path, const std::string& entry, std::uint32_t index,
                    std::uint8_t value);
// Points `entry`'s central directory record at `source`'s local header, so both entries
// read the same bytes (names of equal length and equal data keep the headers consistent).
void ShareZipData(const std::string& path, const std::string& entry, const std::string& source);

}  // namespace testing_support
