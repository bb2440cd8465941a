// The host operations on Linux and other POSIX systems, with the results Windows gives.
//
// Paths: '\' and '/' both separate components; a relative path is taken against the
// current directory, and "." and ".." are folded as text before anything is looked up, as
// Windows does. Each component is then looked up in its folder: an exact name wins, else
// the one name that differs from it only in ASCII case; several such names and no exact
// one fail with kErrorAmbiguousName. A component that does not exist keeps its case (a new
// file or folder is made with the name given).
//
// Read-only: a file whose owner write bit is clear. The mode bits are checked here rather
// than left to the kernel, because root bypasses them and Windows semantics must hold for
// every user.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/Host.h"
#include "platform/Paths.h"
#include "platform/Seam.h"

namespace host {
namespace {

thread_local DWORD lastError = 0;

// ---- errors ---------------------------------------------------------------------------

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0: return 0;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP:  // a write refused through a symbolic link (O_NOFOLLOW)
    case EISDIR: return kErrorAccessDenied;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case EXDEV: return kErrorNotSameDevice;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrorDiskFull;
    case EEXIST: return kErrorAlreadyExists;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EINVAL: return kErrorInvalidParameter;
    case EBADF: return kErrorInvalidHandle;
    default: return kErrorWriteFault;
  }
}

// Sets the last error and gives back the failure value of the caller.
BOOL Fail(DWORD error) {
  lastError = error;
  return 0;
}
BOOL FailErrno() { return Fail(ErrorFromErrno(errno)); }

bool Injected(const char* operation, const char* path, const char* secondPath = nullptr) {
  if (seam::Enter(operation, path, secondPath)) return false;
  lastError = kErrorInjectedFault;
  return true;
}

// ---- times ----------------------------------------------------------------------------

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

FILETIME ToFileTime(std::uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}
std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
  if (since1601 < 0) return FILETIME{0, 0};
  return ToFileTime(static_cast<std::uint64_t>(since1601) * kTicksPerSecond +
                    static_cast<std::uint64_t>(nanoseconds / 100));
}
FILETIME FileTimeFromTimespec(const timespec& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

timespec TimespecFromFileTime(const FILETIME& time) {
  const std::uint64_t ticks = Ticks(time);
  timespec t{};
  t.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) -
                                 kSecondsFrom1601To1970);
  t.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
  return t;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// ---- attributes -----------------------------------------------------------------------

bool IsReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

DWORD AttributesOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return kAttributeDirectory;
  return IsReadOnly(info) ? kAttributeReadOnly : kAttributeNormal;
}

// ---- paths ----------------------------------------------------------------------------

bool FoldedEqual(const char* a, const std::string& b) {
  std::size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return a[i] == '\0' && i == b.size();
}

std::vector<std::string> SplitComponents(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (IsSeparator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// The components of `path` made absolute against the current directory, with "." and ".."
// folded as text (".." at the root stays there). False when the current directory cannot
// be read.
bool AbsoluteComponents(const char* path, std::vector<std::string>& out) {
  out.clear();
  std::vector<std::string> raw;
  if (!IsSeparator(path[0])) {
    std::vector<char> cwd(PATH_MAX);
    if (getcwd(cwd.data(), cwd.size()) == nullptr) return false;
    raw = SplitComponents(cwd.data());
  }
  for (std::string& part : SplitComponents(path)) raw.push_back(std::move(part));
  for (std::string& part : raw) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(std::move(part));
  }
  return true;
}

struct Resolved {
  std::string native;              // the absolute path on this system
  bool exists = false;             // the last component was found
  bool parentExists = false;       // every component before the last is an existing folder
  bool trailingSeparator = false;  // the path as given ended in a separator
  bool isRoot = false;
};

// The name in `folder` that equals `wanted` without regard to ASCII case. Returns 0 when
// there is none, 1 when there is one (in `found`), 2 when there are several.
int FindFolded(const std::string& folder, const std::string& wanted, std::string& found) {
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return 0;
  int matches = 0;
  while (const dirent* entry = readdir(dir)) {
    if (FoldedEqual(entry->d_name, wanted)) {
      found = entry->d_name;
      if (++matches > 1) break;
    }
  }
  closedir(dir);
  return matches;
}

bool IsFolder(const std::string& native) {
  struct stat info {};
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Maps a host path to a path on this system (see the top of this file). Fails, with the
// last error set, on an empty path, on a name that matches several names in its folder,
// and when the current directory cannot be read.
bool Resolve(const char* path, Resolved& out) {
  out = Resolved{};
  if (path == nullptr || path[0] == '\0') return Fail(kErrorPathNotFound);
  const std::size_t length = std::strlen(path);
  out.trailingSeparator = IsSeparator(path[length - 1]);
  std::vector<std::string> parts;
  if (!AbsoluteComponents(path, parts)) return FailErrno();
  if (parts.empty()) {
    out.native = "/";
    out.exists = out.parentExists = out.isRoot = true;
    return true;
  }
  // Most paths name existing files with their exact names: then one lookup of the whole
  // path gives what the walk below would, component by component. Likewise when only the
  // last component is missing or differs in case, and its folder exists as named.
  std::string whole;
  for (const std::string& part : parts) whole += "/" + part;
  struct stat wholeInfo {};
  if (lstat(whole.c_str(), &wholeInfo) == 0) {
    out.native = std::move(whole);
    out.exists = out.parentExists = true;
    return true;
  }
  const std::size_t lastSlash = whole.find_last_of('/');
  const std::string parent = lastSlash == 0 ? std::string() : whole.substr(0, lastSlash);
  if (errno == ENOENT && (parent.empty() || IsFolder(parent))) {
    out.parentExists = true;
    std::string match;
    const int matches = FindFolded(parent, parts.back(), match);
    if (matches > 1) return Fail(kErrorAmbiguousName);
    out.exists = matches == 1;
    out.native = parent + "/" + (matches == 1 ? match : parts.back());
    return true;
  }

  bool found = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const bool last = i + 1 == parts.size();
    if (last) out.parentExists = found;
    if (found) {
      std::string exact = out.native + "/" + part;
      struct stat info {};
      if (lstat(exact.c_str(), &info) == 0) {
        out.native = std::move(exact);
      } else {
        std::string match;
        const int matches = FindFolded(out.native, part, match);
        if (matches > 1) return Fail(kErrorAmbiguousName);
        if (matches == 1) {
          out.native += "/" + match;
        } else {
          out.native = std::move(exact);
          found = false;
        }
      }
      if (found && !last && !IsFolder(out.native)) found = false;
    } else {
      out.native += "/" + part;
    }
  }
  out.exists = found;
  return true;
}

// The error for a path whose last component (or a folder before it) is missing.
DWORD MissingError(const Resolved& resolved) {
  return resolved.parentExists ? kErrorFileNotFound : kErrorPathNotFound;
}

std::string NativeParent(const std::string& native) {
  const std::size_t slash = native.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : native.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

// ---- handles --------------------------------------------------------------------------

enum class Kind : std::uint32_t { kFile = 0x4B594646, kFind = 0x4B594644 };

struct HostObject {
  Kind kind;
};

struct FileObject : HostObject {
  int fd = -1;
  std::string path;  // as given, for the test seam
};

struct FindObject : HostObject {
  std::vector<WIN32_FIND_DATAA> entries;
  std::size_t next = 0;
  std::string pattern;
};

FileObject* AsFile(HANDLE handle) {
  if (handle == nullptr || handle == kInvalidHandle) return nullptr;
  auto* object = static_cast<HostObject*>(handle);
  return object->kind == Kind::kFile ? static_cast<FileObject*>(object) : nullptr;
}

FindObject* AsFind(HANDLE handle) {
  if (handle == nullptr || handle == kInvalidHandle) return nullptr;
  auto* object = static_cast<HostObject*>(handle);
  return object->kind == Kind::kFind ? static_cast<FindObject*>(object) : nullptr;
}

// ---- copying --------------------------------------------------------------------------

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

// Copies the whole content of `from` (at its start) to `to` (empty). False with errno set.
bool CopyContent(int from, int to) {
  bool useRange = true;
  char buffer[65536];
  while (true) {
    if (useRange) {
      const ssize_t done = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
      if (done > 0) continue;
      if (done == 0) return true;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        return false;
      }
      useRange = false;  // not offered here: read and write instead
      continue;
    }
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(to, buffer, static_cast<std::size_t>(got))) return false;
  }
}

// The checks that CopyFileA and CopyFileDurably share. On success `sourceInfo` describes
// the source and `destinationInfo` the destination (when `destinationExists`).
bool CheckCopy(const char* source, const char* destination, bool failIfExists,
               Resolved& from, Resolved& to, struct stat& sourceInfo,
               struct stat& destinationInfo) {
  if (!Resolve(source, from)) return false;
  if (!from.exists) return Fail(MissingError(from));
  if (stat(from.native.c_str(), &sourceInfo) != 0) return FailErrno();
  if (S_ISDIR(sourceInfo.st_mode) || from.trailingSeparator) return Fail(kErrorAccessDenied);
  if (!Resolve(destination, to)) return false;
  if (!to.parentExists) return Fail(kErrorPathNotFound);
  if (to.trailingSeparator) return Fail(kErrorInvalidName);
  if (to.exists) {
    if (stat(to.native.c_str(), &destinationInfo) != 0) return FailErrno();
    if (failIfExists) return Fail(kErrorFileExists);
    if (S_ISDIR(destinationInfo.st_mode) || IsReadOnly(destinationInfo)) {
      return Fail(kErrorAccessDenied);
    }
    // Windows refuses to copy a file onto itself; here the copy would empty it first.
    if (destinationInfo.st_dev == sourceInfo.st_dev &&
        destinationInfo.st_ino == sourceInfo.st_ino) {
      return Fail(kErrorSharingViolation);
    }
  }
  return true;
}

// Gives `to` the last-write time and the read-only attribute of the source, as a Windows
// copy does. `baseMode` is the mode the copy starts from.
bool StampCopy(int to, const struct stat& sourceInfo, mode_t baseMode) {
  const timespec times[2] = {{0, UTIME_OMIT}, sourceInfo.st_mtim};
  if (futimens(to, times) != 0) return false;
  mode_t mode = baseMode & 07777;
  if (IsReadOnly(sourceInfo)) {
    mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  } else {
    mode |= S_IWUSR;
  }
  return fchmod(to, mode) == 0;
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

bool EndsWithTemporarySuffix(const char* name) {
  const std::size_t length = std::strlen(name);
  const std::size_t suffix = sizeof kTemporarySuffix - 1;
  return length > suffix && lstrcmpiA(name + length - suffix, kTemporarySuffix) == 0;
}

// Case-insensitive match of `name` against a pattern with '*' and '?'.
bool MatchesPattern(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (MatchesPattern(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern != '?') {
    char a = *pattern;
    char b = *name;
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return MatchesPattern(pattern + 1, name + 1);
}

}  // namespace

// ---- errors ---------------------------------------------------------------------------

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

// ---- current directory ----------------------------------------------------------------

DWORD GetCurrentDirectoryA(DWORD length, char* buffer) {
  if (Injected("GetCurrentDirectoryA", "")) return 0;
  std::vector<char> cwd(PATH_MAX);
  if (getcwd(cwd.data(), cwd.size()) == nullptr) return FailErrno();
  const DWORD size = static_cast<DWORD>(std::strlen(cwd.data()));
  if (buffer == nullptr || length <= size) return size + 1;
  std::memcpy(buffer, cwd.data(), size + 1);
  return size;
}

BOOL SetCurrentDirectoryA(const char* path) {
  if (Injected("SetCurrentDirectoryA", path)) return 0;
  Resolved folder;
  if (!Resolve(path, folder)) return 0;
  if (!folder.exists) return Fail(MissingError(folder));
  if (!IsFolder(folder.native)) return Fail(kErrorDirectory);
  if (chdir(folder.native.c_str()) != 0) return FailErrno();
  return 1;
}

// ---- folders and files ----------------------------------------------------------------

BOOL CreateDirectoryA(const char* path) {
  if (Injected("CreateDirectoryA", path)) return 0;
  Resolved folder;
  if (!Resolve(path, folder)) return 0;
  if (folder.exists) return Fail(kErrorAlreadyExists);
  if (!folder.parentExists) return Fail(kErrorPathNotFound);
  if (mkdir(folder.native.c_str(), 0777) != 0) return FailErrno();
  return 1;
}

BOOL RemoveDirectoryA(const char* path) {
  if (Injected("RemoveDirectoryA", path)) return 0;
  Resolved folder;
  if (!Resolve(path, folder)) return 0;
  if (!folder.exists) return Fail(MissingError(folder));
  if (!IsFolder(folder.native)) return Fail(kErrorDirectory);
  if (folder.isRoot) return Fail(kErrorAccessDenied);
  if (rmdir(folder.native.c_str()) != 0) {
    return Fail(errno == EEXIST ? kErrorDirNotEmpty : ErrorFromErrno(errno));
  }
  return 1;
}

BOOL DeleteFileA(const char* path) {
  if (Injected("DeleteFileA", path)) return 0;
  Resolved file;
  if (!Resolve(path, file)) return 0;
  if (!file.exists) return Fail(MissingError(file));
  if (file.trailingSeparator) return Fail(kErrorInvalidName);
  struct stat info {};
  if (stat(file.native.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode) || IsReadOnly(info)) return Fail(kErrorAccessDenied);
  }
  if (unlink(file.native.c_str()) != 0) return FailErrno();
  return 1;
}

BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists) {
  if (Injected("CopyFileA", source, destination)) return 0;
  Resolved from;
  Resolved to;
  struct stat sourceInfo {};
  struct stat destinationInfo {};
  if (!CheckCopy(source, destination, failIfExists != 0, from, to, sourceInfo,
                 destinationInfo)) {
    return 0;
  }
  const int in = open(from.native.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno();
  const int out =
      open(to.native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (out < 0) {
    const int error = errno;
    close(in);
    return Fail(ErrorFromErrno(error));
  }
  const mode_t baseMode = to.exists ? destinationInfo.st_mode : NewFileMode();
  bool ok = CopyContent(in, out) && StampCopy(out, sourceInfo, baseMode);
  const int error = errno;
  close(in);
  if (close(out) != 0 && ok) ok = false;
  if (!ok) {
    // As on Windows, a copy that broke off leaves no half-written destination behind.
    unlink(to.native.c_str());
    return Fail(ErrorFromErrno(error));
  }
  return 1;
}

// ---- enumeration ----------------------------------------------------------------------

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (Injected("FindFirstFileA", pattern)) return kInvalidHandle;
  if (pattern == nullptr || pattern[0] == '\0') {
    Fail(kErrorFileNotFound);
    return kInvalidHandle;
  }
  const std::string text(pattern);
  const std::string folderText(ParentOf(text));
  std::string mask(LastComponent(text));
  if (mask == "*.*") mask = "*";
  Resolved folder;
  const std::string lookup =
      folderText.empty() ? (IsSeparator(text[0]) ? std::string("/") : std::string("."))
                         : folderText;
  if (!Resolve(lookup.c_str(), folder)) return kInvalidHandle;
  if (!folder.exists || !IsFolder(folder.native)) {
    Fail(kErrorPathNotFound);
    return kInvalidHandle;
  }
  DIR* dir = opendir(folder.native.c_str());
  if (dir == nullptr) {
    FailErrno();
    return kInvalidHandle;
  }
  auto* find = new FindObject;
  find->kind = Kind::kFind;
  find->pattern = text;
  const std::string prefix = folder.native == "/" ? std::string() : folder.native;
  while (const dirent* entry = readdir(dir)) {
    const std::size_t nameLength = std::strlen(entry->d_name);
    if (nameLength >= kMaxPath || !MatchesPattern(mask.c_str(), entry->d_name)) continue;
    struct stat info {};
    const std::string full = prefix + "/" + entry->d_name;
    if (stat(full.c_str(), &info) != 0 && lstat(full.c_str(), &info) != 0) continue;
    WIN32_FIND_DATAA found{};
    found.dwFileAttributes = AttributesOf(info);
    found.ftCreationTime = FileTimeFromTimespec(info.st_ctim);
    found.ftLastAccessTime = FileTimeFromTimespec(info.st_atim);
    found.ftLastWriteTime = FileTimeFromTimespec(info.st_mtim);
    if (!S_ISDIR(info.st_mode)) {
      const auto size = static_cast<std::uint64_t>(info.st_size);
      found.nFileSizeHigh = static_cast<DWORD>(size >> 32);
      found.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    std::memcpy(found.cFileName, entry->d_name, nameLength + 1);
    find->entries.push_back(found);
  }
  closedir(dir);
  // "." and ".." first, then by name without regard to case, as an NTFS folder lists.
  std::sort(find->entries.begin(), find->entries.end(),
            [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
              const auto rank = [](const char* name) {
                return std::strcmp(name, ".") == 0 ? 0 : std::strcmp(name, "..") == 0 ? 1 : 2;
              };
              if (rank(a.cFileName) != rank(b.cFileName)) {
                return rank(a.cFileName) < rank(b.cFileName);
              }
              const int folded = lstrcmpiA(a.cFileName, b.cFileName);
              return folded != 0 ? folded < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
            });
  if (find->entries.empty()) {
    delete find;
    Fail(kErrorFileNotFound);
    return kInvalidHandle;
  }
  *data = find->entries[0];
  find->next = 1;
  return find;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  FindObject* find = AsFind(handle);
  if (Injected("FindNextFileA", find ? find->pattern.c_str() : "")) return 0;
  if (find == nullptr) return Fail(kErrorInvalidHandle);
  if (find->next >= find->entries.size()) return Fail(kErrorNoMoreFiles);
  *data = find->entries[find->next++];
  return 1;
}

BOOL FindClose(HANDLE handle) {
  FindObject* find = AsFind(handle);
  if (find == nullptr) return Fail(kErrorInvalidHandle);
  find->kind = Kind{};
  delete find;
  return 1;
}

// ---- attributes and names -------------------------------------------------------------

DWORD GetFileAttributesA(const char* path) {
  if (Injected("GetFileAttributesA", path)) return kInvalidFileAttributes;
  Resolved resolved;
  if (!Resolve(path, resolved)) return kInvalidFileAttributes;
  if (!resolved.exists) {
    Fail(MissingError(resolved));
    return kInvalidFileAttributes;
  }
  struct stat info {};
  if (stat(resolved.native.c_str(), &info) != 0) {
    FailErrno();
    return kInvalidFileAttributes;
  }
  if (resolved.trailingSeparator && !S_ISDIR(info.st_mode)) {
    Fail(kErrorInvalidName);
    return kInvalidFileAttributes;
  }
  struct stat linkInfo {};
  const bool isLink = lstat(resolved.native.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode);
  return AttributesOf(info) | (isLink ? kAttributeReparsePoint : 0);
}

BOOL SetFileAttributesA(const char* path, DWORD attributes) {
  if (Injected("SetFileAttributesA", path)) return 0;
  Resolved resolved;
  if (!Resolve(path, resolved)) return 0;
  if (!resolved.exists) return Fail(MissingError(resolved));
  struct stat info {};
  // chmod would change what a link leads to.
  if (lstat(resolved.native.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    return Fail(kErrorAccessDenied);
  }
  if (stat(resolved.native.c_str(), &info) != 0) return FailErrno();
  // A folder's read-only attribute means nothing to Windows when files are made in it;
  // clearing the write bit here would forbid that, so folders keep their mode.
  if (S_ISDIR(info.st_mode)) return 1;
  mode_t mode = info.st_mode & 07777;
  if ((attributes & kAttributeReadOnly) != 0) {
    mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  } else {
    mode |= S_IWUSR;
  }
  if (chmod(resolved.native.c_str(), mode) != 0) return FailErrno();
  return 1;
}

DWORD GetFullPathNameA(const char* name, DWORD length, char* buffer) {
  if (Injected("GetFullPathNameA", name)) return 0;
  if (name == nullptr || name[0] == '\0') return Fail(kErrorInvalidName);
  std::vector<std::string> parts;
  if (!AbsoluteComponents(name, parts)) return FailErrno();
  std::string full;
  for (const std::string& part : parts) full += "/" + part;
  if (full.empty() || IsSeparator(name[std::strlen(name) - 1])) full += "/";
  const DWORD size = static_cast<DWORD>(full.size());
  if (buffer == nullptr || length <= size) return size + 1;
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  return size;
}

// ---- binary files ---------------------------------------------------------------------

HANDLE CreateFileA(const char* path, DWORD access, DWORD creation) {
  if (Injected("CreateFileA", path)) return kInvalidHandle;
  const bool writing = (access & kGenericWrite) != 0;
  const bool reading = (access & kGenericRead) != 0;
  if (creation != kCreateAlways && creation != kOpenExisting && creation != kOpenAlways) {
    Fail(kErrorInvalidParameter);
    return kInvalidHandle;
  }
  Resolved file;
  if (!Resolve(path, file)) return kInvalidHandle;
  if (!file.exists && !file.parentExists) {
    Fail(kErrorPathNotFound);
    return kInvalidHandle;
  }
  if (file.trailingSeparator) {
    Fail(kErrorInvalidName);
    return kInvalidHandle;
  }
  if (file.exists) {
    struct stat info {};
    if (stat(file.native.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode) ||
          (IsReadOnly(info) && (writing || creation == kCreateAlways))) {
        Fail(kErrorAccessDenied);
        return kInvalidHandle;
      }
    }
  } else if (creation == kOpenExisting) {
    Fail(kErrorFileNotFound);
    return kInvalidHandle;
  }
  int flags = O_CLOEXEC;
  flags |= writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
  if (creation != kOpenExisting) flags |= O_CREAT;
  if (creation == kCreateAlways) flags |= O_TRUNC;
  // Nothing is written through a link: a file opened for writing or created must be the
  // file named, not what a link there leads to.
  if (writing || creation != kOpenExisting) flags |= O_NOFOLLOW;
  const int fd = open(file.native.c_str(), flags, 0666);
  if (fd < 0) {
    FailErrno();
    return kInvalidHandle;
  }
  auto* object = new FileObject;
  object->kind = Kind::kFile;
  object->fd = fd;
  object->path = path;
  // Windows reports an existing file on these creations, also when they succeed.
  lastError = creation != kOpenExisting && file.exists ? kErrorAlreadyExists : 0;
  return object;
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* read) {
  FileObject* file = AsFile(handle);
  if (read != nullptr) *read = 0;
  if (Injected("ReadFile", file ? file->path.c_str() : "")) return 0;
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  DWORD total = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (total < toRead) {
    const ssize_t got = ::read(file->fd, bytes + total, toRead - total);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      if (read != nullptr) *read = total;
      return FailErrno();
    }
    total += static_cast<DWORD>(got);
  }
  if (read != nullptr) *read = total;
  return 1;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written) {
  FileObject* file = AsFile(handle);
  if (written != nullptr) *written = 0;
  if (Injected("WriteFile", file ? file->path.c_str() : "")) return 0;
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  DWORD total = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (total < toWrite) {
    const ssize_t done = write(file->fd, bytes + total, toWrite - total);
    if (done < 0) {
      if (errno == EINTR) continue;
      if (written != nullptr) *written = total;
      return FailErrno();
    }
    total += static_cast<DWORD>(done);
  }
  if (written != nullptr) *written = total;
  return 1;
}

BOOL SetFilePointerFromStart(HANDLE handle, std::int64_t offset) {
  FileObject* file = AsFile(handle);
  if (Injected("SetFilePointerFromStart", file ? file->path.c_str() : "")) return 0;
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  if (offset < 0) return Fail(kErrorNegativeSeek);
  if (lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) < 0) return FailErrno();
  return 1;
}

std::int64_t GetFileSizeOf(HANDLE handle) {
  FileObject* file = AsFile(handle);
  if (Injected("GetFileSizeOf", file ? file->path.c_str() : "")) return -1;
  if (file == nullptr) {
    Fail(kErrorInvalidHandle);
    return -1;
  }
  struct stat info {};
  if (fstat(file->fd, &info) != 0) {
    FailErrno();
    return -1;
  }
  return static_cast<std::int64_t>(info.st_size);
}

BOOL FlushFileBuffers(HANDLE handle) {
  FileObject* file = AsFile(handle);
  if (Injected("FlushFileBuffers", file ? file->path.c_str() : "")) return 0;
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  if (fsync(file->fd) != 0) return FailErrno();
  return 1;
}

BOOL CloseHandle(HANDLE handle) {
  FileObject* file = AsFile(handle);
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  const int result = close(file->fd);
  const int error = errno;
  file->kind = Kind{};
  delete file;
  if (result != 0) return Fail(ErrorFromErrno(error));
  return 1;
}

// ---- file times -----------------------------------------------------------------------

BOOL GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  FileObject* file = AsFile(handle);
  if (Injected("GetFileTime", file ? file->path.c_str() : "")) return 0;
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  struct statx info {};
  if (statx(file->fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
    return FailErrno();
  }
  const auto convert = [](const statx_timestamp& t) {
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
  };
  // Where the file system keeps no birth time, the change time is the nearest.
  if (creation != nullptr) {
    *creation = convert((info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_ctime);
  }
  if (lastAccess != nullptr) *lastAccess = convert(info.stx_atime);
  if (lastWrite != nullptr) *lastWrite = convert(info.stx_mtime);
  return 1;
}

BOOL SetFileTime(HANDLE handle, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
  FileObject* file = AsFile(handle);
  if (Injected("SetFileTime", file ? file->path.c_str() : "")) return 0;
  if (file == nullptr) return Fail(kErrorInvalidHandle);
  // Linux cannot set a birth time: `creation` is accepted and has no effect.
  (void)creation;
  timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
  if (lastAccess != nullptr) times[0] = TimespecFromFileTime(*lastAccess);
  if (lastWrite != nullptr) times[1] = TimespecFromFileTime(*lastWrite);
  if (futimens(file->fd, times) != 0) return FailErrno();
  return 1;
}

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime) {
  const unsigned day = fatDate & 0x1Fu;
  const unsigned month = (fatDate >> 5) & 0x0Fu;
  const unsigned year = 1980u + (fatDate >> 9);
  const unsigned second = (fatTime & 0x1Fu) * 2u;
  const unsigned minute = (fatTime >> 5) & 0x3Fu;
  const unsigned hour = fatTime >> 11;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return Fail(kErrorInvalidParameter);
  }
  const std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 +
                               minute * 60 + second;
  *fileTime = FileTimeFromUnix(seconds, 0);
  return 1;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localTime, FILETIME* utcTime) {
  const time_t now = std::time(nullptr);
  struct tm parts {};
  if (localtime_r(&now, &parts) == nullptr) return Fail(kErrorInvalidParameter);
  const std::int64_t offset = static_cast<std::int64_t>(parts.tm_gmtoff) * kTicksPerSecond;
  const std::int64_t ticks = static_cast<std::int64_t>(Ticks(*localTime)) - offset;
  if (ticks < 0) return Fail(kErrorInvalidParameter);
  *utcTime = ToFileTime(static_cast<std::uint64_t>(ticks));
  return 1;
}

int lstrcmpiA(const char* a, const char* b) {
  if (a == nullptr) a = "";
  if (b == nullptr) b = "";
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

// ---- durable replacement --------------------------------------------------------------

BOOL TemporaryPathFor(const char* destination, char* buffer) {
  const std::size_t length = std::strlen(destination);
  if (length + sizeof kTemporarySuffix - 1 > kMaxPath - 1) {
    return Fail(kErrorFilenameExcedRange);
  }
  std::memcpy(buffer, destination, length);
  std::memcpy(buffer + length, kTemporarySuffix, sizeof kTemporarySuffix);
  return 1;
}

namespace {

// The checks and the rename of MoveFileReplaceDurably and MoveFileReplace. On success
// `folder` (and `fromFolder`) name the folders whose entries changed.
bool RenameOver(const char* temporary, const char* destination, std::string& folder,
                std::string& fromFolder) {
  Resolved from;
  Resolved to;
  if (!Resolve(temporary, from)) return false;
  if (!from.exists) return Fail(MissingError(from));
  if (!Resolve(destination, to)) return false;
  if (!to.parentExists) return Fail(kErrorPathNotFound);
  if (from.trailingSeparator || to.trailingSeparator) return Fail(kErrorInvalidName);
  struct stat info {};
  if (stat(from.native.c_str(), &info) != 0) return FailErrno();
  if (S_ISDIR(info.st_mode)) return Fail(kErrorAccessDenied);
  if (to.exists && stat(to.native.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode) || IsReadOnly(info)) return Fail(kErrorAccessDenied);
  }
  if (rename(from.native.c_str(), to.native.c_str()) != 0) return FailErrno();
  folder = NativeParent(to.native);
  fromFolder = NativeParent(from.native);
  return true;
}

// Writes `source`'s content, last-write time and read-only attribute to the temporary file
// beside `destination`, flushed to the disk when `flush` is set. The seam steps are
// `operation` followed by ":create", ":write" and, with `flush`, ":flush". On success
// `temporary` and `target` are the native paths of the temporary file and of the
// destination; on failure no temporary file is left.
bool WriteTemporaryCopy(const char* source, const char* destination, const std::string& operation,
                        bool flush, std::string& temporary, std::string& target) {
  char temporaryText[kMaxPath];
  if (!TemporaryPathFor(destination, temporaryText)) return false;
  // Entered before the checks, so that a call that fails them still passes the seam.
  if (Injected((operation + ":create").c_str(), temporaryText)) return false;
  Resolved from;
  Resolved to;
  struct stat sourceInfo {};
  struct stat destinationInfo {};
  if (!CheckCopy(source, destination, false, from, to, sourceInfo, destinationInfo)) return false;
  temporary = to.native + kTemporarySuffix;
  target = to.native;

  const int in = open(from.native.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno();
  unlink(temporary.c_str());  // left by an interrupted run
  const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    const int error = errno;
    close(in);
    return Fail(ErrorFromErrno(error));
  }
  // Every failure from here on removes the temporary file and leaves the destination alone.
  const auto abandon = [&](DWORD error) {
    close(in);
    close(out);
    unlink(temporary.c_str());
    return Fail(error);
  };
  if (Injected((operation + ":write").c_str(), temporaryText)) {
    return abandon(kErrorInjectedFault);
  }
  const mode_t baseMode = to.exists ? destinationInfo.st_mode : NewFileMode();
  if (!CopyContent(in, out) || !StampCopy(out, sourceInfo, baseMode)) {
    return abandon(ErrorFromErrno(errno));
  }
  if (flush) {
    if (Injected((operation + ":flush").c_str(), temporaryText)) {
      return abandon(kErrorInjectedFault);
    }
    if (fsync(out) != 0) return abandon(ErrorFromErrno(errno));
  }
  close(in);
  if (close(out) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    return Fail(ErrorFromErrno(error));
  }
  return true;
}

}  // namespace

BOOL MoveFileReplaceDurably(const char* temporary, const char* destination) {
  if (Injected("MoveFileReplaceDurably:rename", temporary, destination)) return 0;
  std::string folder;
  std::string fromFolder;
  if (!RenameOver(temporary, destination, folder, fromFolder)) return 0;
  if (Injected("MoveFileReplaceDurably:flushFolder", folder.c_str())) return 0;
  if (!SyncFolder(folder)) return FailErrno();
  if (fromFolder != folder && !SyncFolder(fromFolder)) return FailErrno();
  return 1;
}

BOOL CopyFileDurably(const char* source, const char* destination) {
  std::string temporary;
  std::string target;
  if (!WriteTemporaryCopy(source, destination, "CopyFileDurably", true, temporary, target)) {
    return 0;
  }
  char temporaryText[kMaxPath];
  TemporaryPathFor(destination, temporaryText);
  if (Injected("CopyFileDurably:rename", temporaryText, destination)) {
    unlink(temporary.c_str());
    return Fail(kErrorInjectedFault);
  }
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    return Fail(ErrorFromErrno(error));
  }
  // The destination is complete from here on; a failed folder flush only means that the
  // rename may not yet be on the disk, which the caller must hear about.
  const std::string folder = NativeParent(target);
  if (Injected("CopyFileDurably:flushFolder", folder.c_str())) return 0;
  if (!SyncFolder(folder)) return FailErrno();
  return 1;
}

BOOL CopyFileToTemporary(const char* source, const char* destination) {
  std::string temporary;
  std::string target;
  return WriteTemporaryCopy(source, destination, "CopyFileToTemporary", false, temporary, target)
             ? 1
             : 0;
}

// The source itself becomes the temporary file where it can: its data are then neither
// copied nor written to the disk twice (once as the source, once as the copy).
BOOL MoveFileToTemporary(const char* source, const char* destination) {
  char temporaryText[kMaxPath];
  if (!TemporaryPathFor(destination, temporaryText)) return 0;
  if (Injected("MoveFileToTemporary", source, temporaryText)) return 0;
  Resolved from;
  Resolved to;
  struct stat sourceInfo {};
  struct stat destinationInfo {};
  if (!CheckCopy(source, destination, false, from, to, sourceInfo, destinationInfo)) return 0;
  const std::string temporary = to.native + kTemporarySuffix;
  struct stat linkInfo {};
  struct stat folderInfo {};
  const bool movable = lstat(from.native.c_str(), &linkInfo) == 0 && S_ISREG(linkInfo.st_mode) &&
                       linkInfo.st_nlink == 1 &&
                       stat(NativeParent(to.native).c_str(), &folderInfo) == 0 &&
                       folderInfo.st_dev == linkInfo.st_dev;
  if (movable) {
    unlink(temporary.c_str());  // left by an interrupted run
    if (rename(from.native.c_str(), temporary.c_str()) == 0) {
      // What a copy would have been given: the destination's mode, the source's time and
      // read-only attribute.
      const mode_t baseMode = to.exists ? destinationInfo.st_mode : NewFileMode();
      const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0 && StampCopy(fd, sourceInfo, baseMode)) {
        close(fd);
        return 1;
      }
      const int error = errno;
      if (fd >= 0) close(fd);
      rename(temporary.c_str(), from.native.c_str());
      return Fail(ErrorFromErrno(error));
    }
  }
  std::string copy;
  std::string target;
  return WriteTemporaryCopy(source, destination, "CopyFileToTemporary", false, copy, target) ? 1
                                                                                            : 0;
}

BOOL MoveFileReplace(const char* temporary, const char* destination) {
  if (Injected("MoveFileReplace", temporary, destination)) return 0;
  std::string folder;
  std::string fromFolder;
  return RenameOver(temporary, destination, folder, fromFolder) ? 1 : 0;
}

// One syncfs per file system reached: the cheapest way to bring many files and renames to
// the disk at once (a flush per file costs a disk cache flush each). It writes whatever
// else is pending on those file systems too.
BOOL FlushToDisk(const std::vector<std::string>& paths) {
  if (Injected("FlushToDisk", paths.empty() ? "" : paths.front().c_str())) return 0;
  std::vector<std::string> folders;
  std::vector<dev_t> devices;
  for (const std::string& path : paths) {
    const std::string folderText(ParentOf(path));
    if (std::find(folders.begin(), folders.end(), folderText) != folders.end()) continue;
    folders.push_back(folderText);
    Resolved folder;
    const std::string lookup = folderText.empty() ? std::string(".") : folderText;
    if (!Resolve(lookup.c_str(), folder)) return 0;
    if (!folder.exists) return Fail(MissingError(folder));
    struct stat info {};
    if (stat(folder.native.c_str(), &info) != 0) return FailErrno();
    if (std::find(devices.begin(), devices.end(), info.st_dev) != devices.end()) continue;
    devices.push_back(info.st_dev);
    const int fd = open(folder.native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FailErrno();
    const bool synced = syncfs(fd) == 0;
    const int error = errno;
    close(fd);
    if (!synced) return Fail(ErrorFromErrno(error));
  }
  return 1;
}

BOOL RemoveTemporaryFiles(const char* folder) {
  if (Injected("RemoveTemporaryFiles", folder)) return 0;
  Resolved resolved;
  if (!Resolve(folder, resolved)) return 0;
  if (!resolved.exists) return 1;  // nothing there, nothing left behind
  DIR* dir = opendir(resolved.native.c_str());
  if (dir == nullptr) return FailErrno();
  std::vector<std::string> leftovers;
  const std::string prefix = resolved.native == "/" ? std::string() : resolved.native;
  while (const dirent* entry = readdir(dir)) {
    if (!EndsWithTemporarySuffix(entry->d_name)) continue;
    const std::string full = prefix + "/" + entry->d_name;
    struct stat info {};
    if (lstat(full.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) leftovers.push_back(full);
  }
  closedir(dir);
  BOOL ok = 1;
  for (const std::string& file : leftovers) {
    if (Injected("RemoveTemporaryFiles:delete", file.c_str())) {
      ok = 0;
      continue;
    }
    if (unlink(file.c_str()) != 0) ok = FailErrno();
  }
  return ok;
}

}  // namespace host
