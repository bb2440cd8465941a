#include "package/ZipExtractor.h"

#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Paths.h"

namespace package {
namespace {

constexpr host::DWORD kCopyBufferSize = 2048;
// minizip writes at most this many characters of a name and of a comment; the byte after
// them, zeroed beforehand, ends the text.
constexpr uLong kNameCapacity = sizeof(ZipEntryInfo::name) - 1;
constexpr uLong kCommentCapacity = sizeof(ZipEntryInfo::comment) - 1;

constexpr std::uint32_t kEncryptedFlag = 0x0001;

constexpr char kDamagedList[] = "the list of files inside the package is damaged";

// What the checks need beside ZipEntryInfo: the stored length of the name (a longer one
// was cut to fit the record) and the sizes at the width minizip gives them.
struct EntryFacts {
  std::uint64_t nameLength = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
};

bool ReadEntry(unzFile archive, ZipEntryInfo& info, EntryFacts& facts) {
  std::memset(&info, 0, sizeof info);
  unz_file_info description{};
  if (unzGetCurrentFileInfo(archive, &description, info.name, kNameCapacity, nullptr, 0,
                            info.comment, kCommentCapacity) != UNZ_OK) {
    return false;
  }
  info.versionMadeBy = static_cast<std::uint32_t>(description.version);
  info.versionNeeded = static_cast<std::uint32_t>(description.version_needed);
  info.generalFlags = static_cast<std::uint32_t>(description.flag);
  info.compressionMethod = static_cast<std::uint32_t>(description.compression_method);
  info.dosDateTime = static_cast<std::uint32_t>(description.dosDate);
  info.crc = static_cast<std::uint32_t>(description.crc);
  info.compressedSize = static_cast<std::uint32_t>(description.compressed_size);
  info.uncompressedSize = static_cast<std::uint32_t>(description.uncompressed_size);
  info.internalAttributes = static_cast<std::uint32_t>(description.internal_fa);
  info.externalAttributes = static_cast<std::uint32_t>(description.external_fa);
  std::replace(std::begin(info.name), std::end(info.name), '/', '\\');
  info.isFolder = (info.externalAttributes & host::kAttributeDirectory) != 0;

  facts.nameLength = description.size_filename;
  facts.compressedSize = description.compressed_size;
  facts.uncompressedSize = description.uncompressed_size;
  return true;
}

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/"); }

std::string_view LastComponentOf(std::string_view path) {
  const std::size_t slash = LastSeparator(path);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The folder that holds `path`: the text before its last separator, or the root itself
// when that separator is the first character. False when `path` has no separator.
bool ParentFolder(std::string_view path, std::string& parent) {
  const std::size_t slash = LastSeparator(path);
  if (slash == std::string_view::npos) return false;
  parent.assign(path.substr(0, slash == 0 ? 1 : slash));
  return true;
}

// minizip opens the archive with the C library's fopen, which takes '/' between
// components on every system we build for, while '\' separates only on Windows.
std::string ForCLibrary(const char* fullPath) {
  std::string path = fullPath;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string DescribeSize(std::uint64_t bytes) {
  constexpr std::uint64_t kMiB = 1ull << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

std::string DescribeError(host::DWORD error) {
  switch (error) {
    case host::kErrorAccessDenied:
      return "access denied";
    case host::kErrorDiskFull:
    case host::kErrorHandleDiskFull:
      return "the disk is full";
    case host::kErrorSharingViolation:
      return "the file is in use";
    case host::kErrorFileNotFound:
    case host::kErrorPathNotFound:
      return "its folder is missing";
    case host::kErrorFilenameExcedRange:
      return "the path is too long";
    case host::kErrorAmbiguousName:
      return "several files match the name when case is ignored";
    default:
      return "error " + std::to_string(error);
  }
}

// Why the entry may not be written below a destination folder, or empty when it may. Names
// come from the package and are trusted no further than the folder they are joined to.
std::string RefusalOf(const ZipEntryInfo& info, const EntryFacts& facts) {
  const std::string_view name = info.name;
  const std::string label = std::string(name) + ": refused, the name ";
  if (facts.nameLength > kNameCapacity) {
    return label + host::DescribeNameProblem(host::NameProblem::kTooLong);
  }
  if (facts.nameLength != name.size()) {  // a NUL inside the stored name
    return label + host::DescribeNameProblem(host::NameProblem::kControlCharacter);
  }
  // Only a folder entry may end in a separator; as a file it would name a folder.
  if (!info.isFolder && !name.empty() && host::IsSeparator(name.back())) {
    return label + "ends in a separator but the entry is a file";
  }
  const host::NameProblem problem = host::CheckRelativeName(name);
  if (problem != host::NameProblem::kNone) return label + host::DescribeNameProblem(problem);
  return {};
}

}  // namespace

// ---- Paths -------------------------------------------------------------------------------

std::string_view ExtensionOf(std::string_view path) {
  const std::string_view last = LastComponentOf(path);
  const std::size_t dot = last.rfind('.');
  return dot == std::string_view::npos ? std::string_view{} : last.substr(dot + 1);
}

std::string_view WithoutExtension(std::string_view path) {
  const std::string_view last = LastComponentOf(path);
  const std::size_t dot = last.rfind('.');
  if (dot == std::string_view::npos) return path;
  return path.substr(0, path.size() - last.size() + dot);
}

bool JoinPath(std::string_view folder, std::string_view name, char* buffer) {
  buffer[0] = '\0';
  const bool separator = !folder.empty() && !host::IsSeparator(folder.back());
  if (!host::CopyToPath(buffer, folder) || (separator && !host::AppendToPath(buffer, "\\")) ||
      !host::AppendToPath(buffer, name)) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

// ---- Folders and times ---------------------------------------------------------------------

bool MakeDirectoryTree(const char* path, ExtractionRecord* record) {
  if (path == nullptr || path[0] == '\0') return false;
  const host::DWORD attributes = host::GetFileAttributesA(path);
  if (attributes != host::kInvalidFileAttributes) {
    return (attributes & host::kAttributeDirectory) != 0;
  }
  std::string parent;
  if (!ParentFolder(path, parent)) return true;
  if (!MakeDirectoryTree(parent.c_str(), record)) return false;
  if (host::CreateDirectoryA(path)) {
    if (record != nullptr) record->folders.emplace_back(path);
    return true;
  }
  // With a trailing separator the parent names this very folder, made just above.
  if (!host::IsSeparator(std::string_view(path).back())) return false;
  const host::DWORD made = host::GetFileAttributesA(path);
  return made != host::kInvalidFileAttributes && (made & host::kAttributeDirectory) != 0;
}

bool MakeParentDirectories(const char* path, ExtractionRecord* record) {
  std::string parent;
  if (path == nullptr || !ParentFolder(path, parent)) return false;
  return MakeDirectoryTree(parent.c_str(), record);
}

bool ApplyDosTimestamp(const char* path, std::uint32_t dosDateTime) {
  const host::HANDLE file =
      host::CreateFileA(path, host::kGenericRead | host::kGenericWrite, host::kOpenExisting);
  if (file == host::kInvalidHandle) return false;
  host::FILETIME creation{};
  host::FILETIME lastAccess{};
  host::FILETIME lastWrite{};
  host::FILETIME local{};
  host::FILETIME utc{};
  const bool applied =
      host::GetFileTime(file, &creation, &lastAccess, &lastWrite) &&
      host::DosDateTimeToFileTime(static_cast<host::WORD>(dosDateTime >> 16),
                                  static_cast<host::WORD>(dosDateTime & 0xFFFFu), &local) &&
      host::LocalFileTimeToFileTime(&local, &utc) &&
      host::SetFileTime(file, &utc, &lastAccess, &utc);
  host::CloseHandle(file);
  return applied;
}

// ---- ZipExtractor --------------------------------------------------------------------------

ZipExtractor::ZipExtractor(const char* archivePath) { Open(archivePath); }

ZipExtractor::~ZipExtractor() { CloseArchive(); }

void ZipExtractor::CloseArchive() {
  if (archive != nullptr) {
    unzCloseCurrentFile(archive);
    unzClose(archive);
  }
  archive = nullptr;
  archiveFolder[0] = '\0';
}

bool ZipExtractor::Fail(std::string problem) {
  lastProblem_ = std::move(problem);
  return false;
}

bool ZipExtractor::Open(const char* archivePath) {
  lastProblem_.clear();
  CloseArchive();
  record_ = {};
  expanded_ = 0;
  if (archivePath == nullptr || archivePath[0] == '\0') return Fail("no package was named");
  char fullPath[host::kMaxPath];
  const host::DWORD length = host::GetFullPathNameA(archivePath, host::kMaxPath, fullPath);
  if (length == 0 || length >= host::kMaxPath) {
    return Fail(std::string(archivePath) + ": the path is not valid or too long");
  }
  archive = unzOpen(ForCLibrary(fullPath).c_str());
  if (archive == nullptr) {
    if (host::GetFileAttributesA(fullPath) == host::kInvalidFileAttributes) {
      return Fail(std::string(archivePath) + ": not found");
    }
    return Fail(std::string(archivePath) + ": not a ZIP archive, or damaged");
  }
  host::CopyToPath(archiveFolder, WithoutExtension(fullPath));
  return true;
}

bool ZipExtractor::Close() {
  lastProblem_.clear();
  if (archive == nullptr) return Fail("no package is open");
  unzCloseCurrentFile(archive);
  const bool closed = unzClose(archive) == UNZ_OK;
  archive = nullptr;
  archiveFolder[0] = '\0';
  return closed ? true : Fail("the package could not be closed");
}

bool ZipExtractor::ReadEntryInfo(ZipEntryInfo& info) {
  lastProblem_.clear();
  if (archive == nullptr) return Fail("no package is open");
  EntryFacts facts;
  return ReadEntry(archive, info, facts) ? true : Fail(kDamagedList);
}

bool ZipExtractor::MoveToNextEntry(const char* extension) {
  lastProblem_.clear();
  if (archive == nullptr) return Fail("no package is open");
  if (extension == nullptr || extension[0] == '\0') {
    return unzGoToNextFile(archive) == UNZ_OK ? true : Fail("no further file in the package");
  }
  for (;;) {
    if (unzGoToNextFile(archive) != UNZ_OK) {
      return Fail(std::string("no further file ending in .") + extension + " in the package");
    }
    ZipEntryInfo info;
    EntryFacts facts;
    if (!ReadEntry(archive, info, facts)) return Fail(kDamagedList);
    const std::string found(ExtensionOf(info.name));
    if (!found.empty() && host::lstrcmpiA(found.c_str(), extension) == 0) return true;
  }
}

bool ZipExtractor::ExtractCurrentEntry(const char* destinationFolder, bool flattenPaths) {
  lastProblem_.clear();
  if (archive == nullptr) return Fail("no package is open");
  const char* destination = destinationFolder != nullptr ? destinationFolder : archiveFolder;
  char fullDestination[host::kMaxPath];
  const host::DWORD length =
      host::GetFullPathNameA(destination, host::kMaxPath, fullDestination);
  if (destination[0] == '\0' || length == 0 || length >= host::kMaxPath) {
    return Fail(std::string(destination) + ": the folder name is not valid or too long");
  }
  return ExtractEntry(fullDestination, flattenPaths);
}

bool ZipExtractor::ExtractAll(const char* destinationFolder, bool flattenPaths) {
  lastProblem_.clear();
  if (archive == nullptr) return Fail("no package is open");
  if (destinationFolder == nullptr) return Fail("no destination folder was given");
  char destination[host::kMaxPath];
  const host::DWORD length =
      host::GetFullPathNameA(destinationFolder, host::kMaxPath, destination);
  if (destinationFolder[0] == '\0' || length == 0 || length >= host::kMaxPath) {
    return Fail(std::string(destinationFolder) + ": the folder name is not valid or too long");
  }
  if (!MakeDirectoryTree(destination, &record_)) {
    return Fail(std::string(destination) + ": the folder cannot be made");
  }
  unz_global_info global{};
  if (unzGetGlobalInfo(archive, &global) != UNZ_OK) return Fail(kDamagedList);
  if (global.number_entry == 0) return Fail("the package holds no files");
  if (!CheckWholeArchive(global.number_entry)) return false;

  expanded_ = 0;
  if (unzGoToFirstFile(archive) != UNZ_OK) return Fail(kDamagedList);
  for (;;) {
    if (!ExtractEntry(destination, flattenPaths)) return false;
    if (unzGoToNextFile(archive) != UNZ_OK) return true;
  }
}

// Walks the whole list once before anything is written: every entry's description must be
// readable, their announced sizes together must stay within the expansion limit, and no
// two entries may draw their data from the same bytes of the archive (the trick that lets
// a small archive expand to a huge one).
bool ZipExtractor::CheckWholeArchive(std::uint64_t entryCount) {
  struct Extent {
    std::uint64_t begin;
    std::uint64_t end;
    std::string name;
  };
  std::vector<Extent> extents;
  std::uint64_t announced = 0;
  std::uint64_t visited = 0;
  if (unzGoToFirstFile(archive) != UNZ_OK) return Fail(kDamagedList);
  for (;;) {
    ZipEntryInfo info;
    EntryFacts facts;
    if (!ReadEntry(archive, info, facts)) return Fail(kDamagedList);
    ++visited;
    announced += facts.uncompressedSize;
    if (announced > expansionLimit_) {
      return Fail("the package's files add up to more than the " +
                  DescribeSize(expansionLimit_) + " allowed");
    }
    // Opening an entry reads its local header and tells where its data begin; an entry
    // that cannot be opened fails later, when its turn comes.
    if (facts.compressedSize > 0 && unzOpenCurrentFile(archive) == UNZ_OK) {
      const std::uint64_t begin = unzGetCurrentFileZStreamPos64(archive);
      unzCloseCurrentFile(archive);
      extents.push_back({begin, begin + facts.compressedSize, info.name});
    }
    if (unzGoToNextFile(archive) != UNZ_OK) break;
  }
  if (visited != entryCount) return Fail(kDamagedList);

  std::sort(extents.begin(), extents.end(),
            [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
  for (std::size_t i = 1; i < extents.size(); ++i) {
    if (extents[i].begin < extents[i - 1].end) {
      return Fail(extents[i].name + ": its data overlap those of " + extents[i - 1].name +
                  ", the package is damaged");
    }
  }
  return true;
}

void ZipExtractor::RecordFile(const char* path) {
  for (const std::string& file : record_.files) {
    if (host::SamePath(file, path)) return;
  }
  record_.files.emplace_back(path);
}

void ZipExtractor::ForgetFile(const char* path) {
  std::erase_if(record_.files, [path](const std::string& file) {
    return host::SamePath(file, path);
  });
}

// A folder below the destination that is a link leads somewhere else: nothing is made or
// written through it.
bool ZipExtractor::NoLinkBelow(const char* destination, const char* target,
                               const std::string& name) {
  std::string link;
  if (!host::GoesThroughLink(target, std::strlen(destination), &link)) return true;
  return Fail(name + ": \"" + link + "\" is a link to another place, and nothing is " +
              "extracted through it");
}

// ExtractCurrentEntry with a destination already made full.
bool ZipExtractor::ExtractEntry(const char* destination, bool flattenPaths) {
  if (!MakeDirectoryTree(destination, &record_)) {
    return Fail(std::string(destination) + ": the folder cannot be made");
  }
  ZipEntryInfo info;
  EntryFacts facts;
  if (!ReadEntry(archive, info, facts)) return Fail(kDamagedList);
  const std::string name = info.name;
  if (std::string refusal = RefusalOf(info, facts); !refusal.empty()) {
    return Fail(std::move(refusal));
  }

  char target[host::kMaxPath];
  if (info.isFolder) {
    if (!JoinPath(destination, name, target)) return Fail(name + ": the path is too long");
    if (!NoLinkBelow(destination, target, name)) return false;
    if (!MakeDirectoryTree(target, &record_)) {
      return Fail(name + ": the folder cannot be made");
    }
    return true;
  }

  const std::string_view placed = flattenPaths ? LastComponentOf(name) : name;
  if (!JoinPath(destination, placed, target)) return Fail(name + ": the path is too long");
  const std::uint64_t room = expansionLimit_ - std::min(expanded_, expansionLimit_);
  if (facts.uncompressedSize > room) {
    return Fail(name + ": more data than the " + DescribeSize(expansionLimit_) +
                " the package may expand to");
  }
  if (!NoLinkBelow(destination, target, name)) return false;
  if (!MakeParentDirectories(target, &record_)) {
    return Fail(name + ": its folder cannot be made");
  }

  const host::HANDLE file = host::CreateFileA(target, host::kGenericWrite, host::kCreateAlways);
  if (file == host::kInvalidHandle) {
    return Fail(name + ": cannot be written (" + DescribeError(host::GetLastError()) + ")");
  }
  RecordFile(target);
  // minizip would hand out the raw bytes of some other methods (bzip2) and of encrypted
  // entries as if they were the data, so only what it truly unpacks is opened.
  const bool supportedMethod =
      info.compressionMethod == 0 || info.compressionMethod == Z_DEFLATED;
  const bool encrypted = (info.generalFlags & kEncryptedFlag) != 0;
  if (!supportedMethod || encrypted || unzOpenCurrentFile(archive) != UNZ_OK) {
    host::CloseHandle(file);
    if (!supportedMethod) {
      return Fail(name + ": compressed with a method this program cannot read (" +
                  std::to_string(info.compressionMethod) + ")");
    }
    if (encrypted) return Fail(name + ": encrypted, which this program cannot read");
    return Fail(name + ": cannot be read, the package is damaged");
  }

  unsigned char buffer[kCopyBufferSize];
  std::uint64_t delivered = 0;
  bool beyondAnnounced = false;
  bool beyondLimit = false;
  bool writeFailed = false;
  host::DWORD writeError = 0;
  int read = 0;
  while ((read = unzReadCurrentFile(archive, buffer, kCopyBufferSize)) > 0) {
    delivered += static_cast<std::uint64_t>(read);
    beyondAnnounced = delivered > facts.uncompressedSize;
    beyondLimit = delivered > room;
    if (beyondAnnounced || beyondLimit) break;
    host::DWORD written = 0;
    const auto count = static_cast<host::DWORD>(read);
    if (!host::WriteFile(file, buffer, count, &written) || written != count) {
      writeError = host::GetLastError();
      writeFailed = true;
      break;
    }
  }
  host::CloseHandle(file);
  const int closed = unzCloseCurrentFile(archive);

  if (writeFailed) {
    return Fail(name + ": cannot be written (" + DescribeError(writeError) + ")");
  }
  std::string damage;
  if (beyondAnnounced) {
    damage = "expands beyond its announced size, the package is damaged";
  } else if (beyondLimit) {
    damage = "more data than the " + DescribeSize(expansionLimit_) +
             " the package may expand to";
  } else if (read < 0) {
    damage = "its data cannot be unpacked, the package is damaged";
  } else if (delivered != facts.uncompressedSize) {
    damage = "its data end before their announced size, the package is damaged";
  } else if (closed != UNZ_OK) {
    damage = "CRC-32 mismatch, the package is damaged";
  }
  if (!damage.empty()) {
    // A damaged file must not be taken for the package's: it goes again.
    if (host::DeleteFileA(target)) ForgetFile(target);
    return Fail(name + ": " + damage);
  }
  expanded_ += delivered;
  // A time that cannot be set leaves the time of writing; the data are what matter.
  ApplyDosTimestamp(target, info.dosDateTime);
  return true;
}

}  // namespace package
