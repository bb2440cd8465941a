#include "tests/support/ZipBuilder.h"

#include <zip.h>

#include <stdexcept>

namespace testing_support {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;

// Field offsets inside the two headers.
constexpr std::size_t kLocalMethod = 8, kLocalCrc = 14, kLocalUncompressed = 22,
                      kLocalNameLength = 26, kLocalExtraLength = 28;
constexpr std::size_t kCentralMethod = 10, kCentralCrc = 16, kCentralCompressed = 20,
                      kCentralUncompressed = 24, kCentralNameLength = 28,
                      kCentralExtraLength = 30, kCentralCommentLength = 32,
                      kCentralLocalOffset = 42;

std::uint32_t Get(const Bytes& bytes, std::size_t at, int width) {
  if (at + static_cast<std::size_t>(width) > bytes.size()) {
    throw std::runtime_error("ZIP layout: read past the end of the archive");
  }
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

void Put(Bytes& bytes, std::size_t at, int width, std::uint32_t value) {
  if (at + static_cast<std::size_t>(width) > bytes.size()) {
    throw std::runtime_error("ZIP patch: write past the end of the archive");
  }
  for (int i = 0; i < width; ++i) {
    bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::vector<ZipEntryLayout> LayoutOf(const Bytes& bytes) {
  if (bytes.size() < kEndRecordSize) throw std::runtime_error("ZIP layout: no end record");
  std::size_t end = bytes.size() - kEndRecordSize;
  while (Get(bytes, end, 4) != kEndSignature) {
    if (end == 0) throw std::runtime_error("ZIP layout: no end record");
    --end;
  }
  const std::uint32_t count = Get(bytes, end + 10, 2);
  std::size_t at = Get(bytes, end + 16, 4);
  std::vector<ZipEntryLayout> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (Get(bytes, at, 4) != kCentralSignature) {
      throw std::runtime_error("ZIP layout: bad central directory record");
    }
    ZipEntryLayout entry;
    const std::uint32_t nameLength = Get(bytes, at + kCentralNameLength, 2);
    entry.name.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + kCentralHeaderSize),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + kCentralHeaderSize + nameLength));
    entry.centralHeader = at;
    entry.method = static_cast<std::uint16_t>(Get(bytes, at + kCentralMethod, 2));
    entry.crc = Get(bytes, at + kCentralCrc, 4);
    entry.compressedSize = Get(bytes, at + kCentralCompressed, 4);
    entry.uncompressedSize = Get(bytes, at + kCentralUncompressed, 4);
    entry.localHeader = Get(bytes, at + kCentralLocalOffset, 4);
    const std::size_t local = entry.localHeader;
    if (Get(bytes, local, 4) != kLocalSignature) {
      throw std::runtime_error("ZIP layout: bad local header for " + entry.name);
    }
    entry.data = local + kLocalHeaderSize + Get(bytes, local + kLocalNameLength, 2) +
                 Get(bytes, local + kLocalExtraLength, 2);
    entries.push_back(entry);
    at += kCentralHeaderSize + nameLength + Get(bytes, at + kCentralExtraLength, 2) +
          Get(bytes, at + kCentralCommentLength, 2);
  }
  return entries;
}

const ZipEntryLayout& Find(const std::vector<ZipEntryLayout>& entries, const std::string& name) {
  for (const ZipEntryLayout& entry : entries) {
    if (entry.name == name) return entry;
  }
  throw std::runtime_error("ZIP layout: no entry named " + name);
}

// Reads the archive, lets `edit` change its bytes with the layout at hand, writes it back.
template <typename Edit>
void Patch(const std::string& path, Edit edit) {
  Bytes bytes = ReadFile(path);
  const std::vector<ZipEntryLayout> entries = LayoutOf(bytes);
  edit(bytes, entries);
  WriteFile(path, bytes);
}

zip_fileinfo FileInfo(std::uint32_t dosDateTime, std::uint32_t externalAttributes) {
  zip_fileinfo info{};
  info.dosDate = dosDateTime;
  // minizip uses the broken-down date only when dosDate is 0; keep both alike.
  info.tmz_date.tm_year = ((dosDateTime >> 25) & 0x7F) + 1980;
  info.tmz_date.tm_mon = ((dosDateTime >> 21) & 0x0F) - 1;
  info.tmz_date.tm_mday = (dosDateTime >> 16) & 0x1F;
  info.tmz_date.tm_hour = (dosDateTime >> 11) & 0x1F;
  info.tmz_date.tm_min = (dosDateTime >> 5) & 0x3F;
  info.tmz_date.tm_sec = (dosDateTime & 0x1F) * 2;
  info.external_fa = externalAttributes;
  return info;
}

}  // namespace

ZipBuilder::ZipBuilder(std::string path) : path_(std::move(path)) {
  zip_ = zipOpen(path_.c_str(), APPEND_STATUS_CREATE);
  if (zip_ == nullptr) throw std::runtime_error("cannot create archive " + path_);
}

ZipBuilder::ZipBuilder(std::string path, const Bytes& prefix) : path_(std::move(path)) {
  WriteFile(path_, prefix);
  zip_ = zipOpen(path_.c_str(), APPEND_STATUS_CREATEAFTER);
  if (zip_ == nullptr) throw std::runtime_error("cannot create archive " + path_);
}

ZipBuilder::~ZipBuilder() {
  if (zip_ != nullptr) zipClose(zip_, nullptr);
}

ZipBuilder& ZipBuilder::AddFile(const std::string& name, const Bytes& data,
                                const ZipEntryOptions& options) {
  if (zip_ == nullptr) throw std::runtime_error("archive already finished: " + path_);
  const zip_fileinfo info = FileInfo(options.dosDateTime, options.externalAttributes);
  const bool deflated = options.method == ZipMethod::kDeflated;
  if (zipOpenNewFileInZip(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0,
                          options.comment.empty() ? nullptr : options.comment.c_str(),
                          deflated ? Z_DEFLATED : 0,
                          deflated ? Z_DEFAULT_COMPRESSION : 0) != ZIP_OK ||
      (!data.empty() &&
       zipWriteInFileInZip(zip_, data.data(), static_cast<unsigned>(data.size())) != ZIP_OK) ||
      zipCloseFileInZip(zip_) != ZIP_OK) {
    throw std::runtime_error("cannot add " + name + " to " + path_);
  }
  return *this;
}

ZipBuilder& ZipBuilder::AddFile(const std::string& name, const std::string& text,
                                const ZipEntryOptions& options) {
  return AddFile(name, ToBytes(text), options);
}

ZipBuilder& ZipBuilder::AddFolder(const std::string& name, std::uint32_t dosDateTime) {
  ZipEntryOptions options;
  options.method = ZipMethod::kStored;
  options.dosDateTime = dosDateTime;
  options.externalAttributes = kDosDirectoryAttribute;
  return AddFile(name, Bytes{}, options);
}

const std::string& ZipBuilder::Finish() {
  if (zip_ == nullptr) return path_;
  const int result = zipClose(zip_, nullptr);
  zip_ = nullptr;
  if (result != ZIP_OK) throw std::runtime_error("cannot finish archive " + path_);
  return path_;
}

std::vector<ZipEntryLayout> ReadZipLayout(const std::string& path) {
  return LayoutOf(ReadFile(path));
}

void SetZipMethod(const std::string& path, const std::string& entry, std::uint16_t method) {
  Patch(path, [&](Bytes& bytes, const std::vector<ZipEntryLayout>& entries) {
    const ZipEntryLayout& e = Find(entries, entry);
    Put(bytes, e.centralHeader + kCentralMethod, 2, method);
    Put(bytes, e.localHeader + kLocalMethod, 2, method);
  });
}

void SetZipCrc(const std::string& path, const std::string& entry, std::uint32_t crc) {
  Patch(path, [&](Bytes& bytes, const std::vector<ZipEntryLayout>& entries) {
    const ZipEntryLayout& e = Find(entries, entry);
    Put(bytes, e.centralHeader + kCentralCrc, 4, crc);
    Put(bytes, e.localHeader + kLocalCrc, 4, crc);
  });
}

void SetZipUncompressedSize(const std::string& path, const std::string& entry,
                            std::uint32_t size) {
  Patch(path, [&](Bytes& bytes, const std::vector<ZipEntryLayout>& entries) {
    const ZipEntryLayout& e = Find(entries, entry);
    Put(bytes, e.centralHeader + kCentralUncompressed, 4, size);
    Put(bytes, e.localHeader + kLocalUncompressed, 4, size);
  });
}

void FlipZipDataByte(const std::string& path, const std::string& entry, std::uint32_t index) {
  Patch(path, [&](Bytes& bytes, const std::vector<ZipEntryLayout>& entries) {
    const ZipEntryLayout& e = Find(entries, entry);
    if (index >= e.compressedSize) throw std::runtime_error("ZIP patch: no such data byte");
    bytes.at(e.data + index) ^= 0xFF;
  });
}

void SetZipDataByte(const std::string& path, const std::string& entry, std::uint32_t index,
                    std::uint8_t value) {
  Patch(path, [&](Bytes& bytes, const std::vector<ZipEntryLayout>& entries) {
    const ZipEntryLayout& e = Find(entries, entry);
    if (index >= e.compressedSize) throw std::runtime_error("ZIP patch: no such data byte");
    bytes.at(e.data + index) = value;
  });
}

void ShareZipData(const std::string& path, const std::string& entry, const std::string& source) {
  Patch(path, [&](Bytes& bytes, const std::vector<ZipEntryLayout>& entries) {
    const ZipEntryLayout& e = Find(entries, entry);
    Put(bytes, e.centralHeader + kCentralLocalOffset, 4,
        static_cast<std::uint32_t>(Find(entries, source).localHeader));
  });
}

}  // namespace testing_support
