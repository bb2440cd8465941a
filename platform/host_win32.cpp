// The host layer on Windows: each operation is the KERNEL32 function of the same name (the
// 8-bit "A" form), entered through the test seam first, under the same step names and in
// the same order as on POSIX, so that a test that fails or crashes "the N-th operation"
// hits the same step on both systems. Host.h and <windows.h> name the same things, so
// everything of Windows is written with a leading "::" here, and values pass between the
// two through the small converters below.
#include "platform/Host.h"

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Seam.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace host {
namespace {

static_assert(kMaxPath == MAX_PATH);
static_assert(kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES);
static_assert(kAttributeReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(kAttributeNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE);
static_assert(kCreateAlways == CREATE_ALWAYS && kOpenExisting == OPEN_EXISTING &&
              kOpenAlways == OPEN_ALWAYS);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
              kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
              kErrorAccessDenied == ERROR_ACCESS_DENIED &&
              kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
              kErrorDiskFull == ERROR_DISK_FULL && kErrorFileExists == ERROR_FILE_EXISTS &&
              kErrorAlreadyExists == ERROR_ALREADY_EXISTS &&
              kErrorDirNotEmpty == ERROR_DIR_NOT_EMPTY &&
              kErrorFilenameExcedRange == ERROR_FILENAME_EXCED_RANGE);
// Our own error numbers carry the bit that Windows reserves for applications.
static_assert((kErrorAmbiguousName & APPLICATION_ERROR_MASK) != 0 &&
              (kErrorInjectedFault & APPLICATION_ERROR_MASK) != 0);

// Asks the test seam whether the operation may go ahead; when it may not, the operation
// fails without effect, as on a full disk.
bool Admit(const char* operation, const char* path, const char* secondPath = nullptr) {
  if (seam::Enter(operation, path, secondPath)) return true;
  ::SetLastError(kErrorInjectedFault);
  return false;
}

// The path (or pattern) each open handle was made from, so that the seam can name the file
// that an operation on a handle touches.
class HandlePaths {
 public:
  void Add(HANDLE handle, const char* path) {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_[handle] = path;
  }
  void Remove(HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.erase(handle);
  }
  std::string Of(HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = paths_.find(handle);
    return found == paths_.end() ? std::string() : found->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HANDLE, std::string> paths_;
};

HandlePaths& OpenHandles() {
  static HandlePaths handles;
  return handles;
}

bool AdmitHandle(const char* operation, HANDLE handle) {
  return Admit(operation, OpenHandles().Of(handle).c_str());
}

// The folder part of `path` as given ("" for a bare name), for naming folder flushes.
std::string FolderOf(const char* path) {
  const std::string text = path;
  const std::size_t last = text.find_last_of("\\/");
  return last == std::string::npos ? std::string() : text.substr(0, last);
}

// Gives back the failure value after undoing what a durable step left behind, keeping the
// error that made it fail.
BOOL FailRemoving(const char* temporary) {
  const ::DWORD error = ::GetLastError();
  ::SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(temporary);
  ::SetLastError(error);
  return FALSE;
}

::FILETIME ToWindows(const FILETIME& time) {
  ::FILETIME result;
  result.dwLowDateTime = time.dwLowDateTime;
  result.dwHighDateTime = time.dwHighDateTime;
  return result;
}

FILETIME FromWindows(const ::FILETIME& time) {
  return FILETIME{static_cast<DWORD>(time.dwLowDateTime), static_cast<DWORD>(time.dwHighDateTime)};
}

// Only what the POSIX layer can tell too, so that callers see the same on both systems.
DWORD PortableAttributes(::DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kAttributeDirectory;
  if (attributes & FILE_ATTRIBUTE_READONLY) return kAttributeReadOnly;
  return kAttributeNormal;
}

// True when `path` is an existing file with the read-only attribute.
bool IsReadOnlyFile(const char* path) {
  const ::DWORD attributes = ::GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
             FILE_ATTRIBUTE_READONLY;
}

void CopyFindData(const ::WIN32_FIND_DATAA& from, WIN32_FIND_DATAA* to) {
  to->dwFileAttributes = PortableAttributes(from.dwFileAttributes);
  to->ftCreationTime = FromWindows(from.ftCreationTime);
  to->ftLastAccessTime = FromWindows(from.ftLastAccessTime);
  to->ftLastWriteTime = FromWindows(from.ftLastWriteTime);
  to->nFileSizeHigh = static_cast<DWORD>(from.nFileSizeHigh);
  to->nFileSizeLow = static_cast<DWORD>(from.nFileSizeLow);
  static_assert(sizeof to->cFileName == sizeof from.cFileName);
  std::memcpy(to->cFileName, from.cFileName, sizeof to->cFileName);
}

bool EndsWithTemporarySuffix(const char* name) {
  const std::size_t length = std::strlen(name);
  const std::size_t suffixLength = sizeof kTemporarySuffix - 1;
  return length > suffixLength &&
         ::lstrcmpiA(name + length - suffixLength, kTemporarySuffix) == 0;
}

}  // namespace

DWORD GetLastError() { return static_cast<DWORD>(::GetLastError()); }

void SetLastError(DWORD error) { ::SetLastError(error); }

DWORD GetCurrentDirectoryA(DWORD length, char* buffer) {
  if (!Admit("GetCurrentDirectoryA", "")) return 0;
  return static_cast<DWORD>(::GetCurrentDirectoryA(length, buffer));
}

BOOL SetCurrentDirectoryA(const char* path) {
  if (!Admit("SetCurrentDirectoryA", path)) return FALSE;
  return ::SetCurrentDirectoryA(path);
}

BOOL CreateDirectoryA(const char* path) {
  if (!Admit("CreateDirectoryA", path)) return FALSE;
  return ::CreateDirectoryA(path, nullptr);
}

BOOL RemoveDirectoryA(const char* path) {
  if (!Admit("RemoveDirectoryA", path)) return FALSE;
  return ::RemoveDirectoryA(path);
}

BOOL DeleteFileA(const char* path) {
  if (!Admit("DeleteFileA", path)) return FALSE;
  return ::DeleteFileA(path);
}

BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists) {
  if (!Admit("CopyFileA", source, destination)) return FALSE;
  // Windows refuses to copy over a read-only file and gives the copy the source's read-only
  // attribute. Wine run by root does neither on its own (root may write any file), so both
  // are made explicit; on Windows they change nothing.
  const ::DWORD sourceAttributes = ::GetFileAttributesA(source);
  if (!failIfExists && sourceAttributes != INVALID_FILE_ATTRIBUTES &&
      IsReadOnlyFile(destination)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!::CopyFileA(source, destination, failIfExists)) return FALSE;
  if (sourceAttributes != INVALID_FILE_ATTRIBUTES && (sourceAttributes & FILE_ATTRIBUTE_READONLY) &&
      !IsReadOnlyFile(destination)) {
    const ::DWORD current = ::GetFileAttributesA(destination);
    ::SetFileAttributesA(destination, (current & ~static_cast<::DWORD>(FILE_ATTRIBUTE_NORMAL)) |
                                          FILE_ATTRIBUTE_READONLY);
  }
  return TRUE;
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (!Admit("FindFirstFileA", pattern)) return kInvalidHandle;
  ::WIN32_FIND_DATAA found;
  const ::HANDLE find = ::FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return kInvalidHandle;
  OpenHandles().Add(find, pattern);
  CopyFindData(found, data);
  return find;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
  if (!AdmitHandle("FindNextFileA", find)) return FALSE;
  ::WIN32_FIND_DATAA found;
  if (!::FindNextFileA(find, &found)) return FALSE;
  CopyFindData(found, data);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  OpenHandles().Remove(find);
  return ::FindClose(find);
}

DWORD GetFileAttributesA(const char* path) {
  if (!Admit("GetFileAttributesA", path)) return kInvalidFileAttributes;
  const ::DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return kInvalidFileAttributes;
  return PortableAttributes(attributes) |
         ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? kAttributeReparsePoint : 0);
}

BOOL SetFileAttributesA(const char* path, DWORD attributes) {
  if (!Admit("SetFileAttributesA", path)) return FALSE;
  const ::DWORD current = ::GetFileAttributesA(path);
  if (current == INVALID_FILE_ATTRIBUTES) return FALSE;
  const ::DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL;
  ::DWORD wanted = (current & ~kept) | (attributes & FILE_ATTRIBUTE_READONLY);
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileAttributesA(path, wanted);
}

DWORD GetFullPathNameA(const char* name, DWORD length, char* buffer) {
  if (!Admit("GetFullPathNameA", name)) return 0;
  return static_cast<DWORD>(::GetFullPathNameA(name, length, buffer, nullptr));
}

HANDLE CreateFileA(const char* path, DWORD access, DWORD creation) {
  if (!Admit("CreateFileA", path)) return kInvalidHandle;
  // Windows opens no read-only file for writing and does not empty one; Wine run by root
  // would, so the rule is made explicit.
  if (((access & kGenericWrite) != 0 || creation == kCreateAlways) && IsReadOnlyFile(path)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return kInvalidHandle;
  }
  // Other openers are not locked out (the standard I/O streams the program once used did
  // not lock either), and a file may be renamed over while it is open for reading.
  const ::HANDLE file =
      ::CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kInvalidHandle;
  OpenHandles().Add(file, path);
  return file;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read) {
  if (read) *read = 0;
  if (!AdmitHandle("ReadFile", file)) return FALSE;
  ::DWORD done = 0;
  const BOOL result = ::ReadFile(file, buffer, toRead, &done, nullptr);
  if (read) *read = static_cast<DWORD>(done);
  return result;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written) {
  if (written) *written = 0;
  if (!AdmitHandle("WriteFile", file)) return FALSE;
  ::DWORD done = 0;
  const BOOL result = ::WriteFile(file, buffer, toWrite, &done, nullptr);
  if (written) *written = static_cast<DWORD>(done);
  return result;
}

BOOL SetFilePointerFromStart(HANDLE file, std::int64_t offset) {
  if (!AdmitHandle("SetFilePointerFromStart", file)) return FALSE;
  ::LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN);
}

std::int64_t GetFileSizeOf(HANDLE file) {
  if (!AdmitHandle("GetFileSizeOf", file)) return -1;
  ::LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size)) return -1;
  return size.QuadPart;
}

BOOL FlushFileBuffers(HANDLE file) {
  if (!AdmitHandle("FlushFileBuffers", file)) return FALSE;
  return ::FlushFileBuffers(file);
}

BOOL CloseHandle(HANDLE file) {
  OpenHandles().Remove(file);
  return ::CloseHandle(file);
}

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  if (!AdmitHandle("GetFileTime", file)) return FALSE;
  ::FILETIME times[3];
  if (!::GetFileTime(file, &times[0], &times[1], &times[2])) return FALSE;
  if (creation) *creation = FromWindows(times[0]);
  if (lastAccess) *lastAccess = FromWindows(times[1]);
  if (lastWrite) *lastWrite = FromWindows(times[2]);
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
  if (!AdmitHandle("SetFileTime", file)) return FALSE;
  ::FILETIME times[3];
  if (creation) times[0] = ToWindows(*creation);
  if (lastAccess) times[1] = ToWindows(*lastAccess);
  if (lastWrite) times[2] = ToWindows(*lastWrite);
  return ::SetFileTime(file, creation ? &times[0] : nullptr, lastAccess ? &times[1] : nullptr,
                       lastWrite ? &times[2] : nullptr);
}

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime) {
  // Windows refuses a date or time that does not exist (February 29 of a year that is not
  // a leap year, second 60, ...); Wine lets some through, so they are refused here first.
  const unsigned day = fatDate & 0x1Fu;
  const unsigned month = (fatDate >> 5) & 0x0Fu;
  const unsigned year = 1980u + (fatDate >> 9);
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  static constexpr unsigned kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 ||
      day > kDaysInMonth[month - 1] + (month == 2 && leap ? 1u : 0u) || (fatTime >> 11) > 23 ||
      ((fatTime >> 5) & 0x3Fu) > 59 || (fatTime & 0x1Fu) * 2u > 59) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ::FILETIME result;
  if (!::DosDateTimeToFileTime(fatDate, fatTime, &result)) return FALSE;
  *fileTime = FromWindows(result);
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localTime, FILETIME* utcTime) {
  const ::FILETIME local = ToWindows(*localTime);
  ::FILETIME utc;
  if (!::LocalFileTimeToFileTime(&local, &utc)) return FALSE;
  *utcTime = FromWindows(utc);
  return TRUE;
}

int lstrcmpiA(const char* a, const char* b) { return ::lstrcmpiA(a, b); }

// ---- Durable replacement -------------------------------------------------------------

BOOL TemporaryPathFor(const char* destination, char* buffer) {
  const std::size_t length = std::strlen(destination);
  const std::size_t suffixLength = sizeof kTemporarySuffix - 1;
  if (length + suffixLength >= kMaxPath) {
    ::SetLastError(kErrorFilenameExcedRange);
    return FALSE;
  }
  std::memcpy(buffer, destination, length);
  std::memcpy(buffer + length, kTemporarySuffix, suffixLength + 1);
  return TRUE;
}

BOOL MoveFileReplaceDurably(const char* temporary, const char* destination) {
  if (!Admit("MoveFileReplaceDurably:rename", temporary, destination)) return FALSE;
  // Windows refuses to replace a read-only file; checked here as well because not every
  // file system that MoveFileEx reaches checks it.
  const ::DWORD attributes = ::GetFileAttributesA(destination);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // Write-through: MoveFileEx returns only when the rename is on the disk, which is the
  // folder flush; the seam still sees that step, as on POSIX.
  if (!::MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return FALSE;
  }
  return Admit("MoveFileReplaceDurably:flushFolder", FolderOf(destination).c_str());
}

// Makes `temporary` (the temporary file beside `destination`) a flushed copy of `source`,
// after the checks CopyFileA makes; like CopyFileA, the copy keeps the source's read-only
// attribute. Seam steps: "<operation>:create", ":write" and, with `flushStep`, ":flush".
// On failure no temporary file is left.
static BOOL WriteFlushedCopy(const char* operation, bool flushStep, const char* source,
                             const char* destination, const char* temporary) {
  const std::string step = operation;
  // Fail as CopyFileA would before anything is written: a missing source, or a destination
  // that is a folder or read-only.
  const ::DWORD sourceAttributes = ::GetFileAttributesA(source);
  if (sourceAttributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const ::DWORD destinationAttributes = ::GetFileAttributesA(destination);
  if (destinationAttributes != INVALID_FILE_ATTRIBUTES &&
      (destinationAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }

  if (!Admit((step + ":create").c_str(), temporary)) return FALSE;
  // A temporary file left by an interrupted run is replaced, even a read-only one.
  ::SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
  const ::HANDLE created = ::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) return FALSE;
  ::CloseHandle(created);

  if (!Admit((step + ":write").c_str(), temporary)) return FailRemoving(temporary);
  if (!::CopyFileA(source, temporary, FALSE)) return FailRemoving(temporary);
  // The copy may carry the source's read-only attribute; it must be writable to be flushed.
  ::SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);

  if (flushStep && !Admit((step + ":flush").c_str(), temporary)) return FailRemoving(temporary);
  const ::HANDLE file = ::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailRemoving(temporary);
  const bool flushed = ::FlushFileBuffers(file) != FALSE;
  const ::DWORD flushError = ::GetLastError();
  ::CloseHandle(file);
  if (!flushed) {
    ::SetLastError(flushError);
    return FailRemoving(temporary);
  }

  // As CopyFileA, the copy takes the source's read-only attribute; a file renamed over the
  // destination may carry it.
  if (sourceAttributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesA(temporary, FILE_ATTRIBUTE_READONLY);
  }
  return TRUE;
}

BOOL CopyFileDurably(const char* source, const char* destination) {
  char temporary[kMaxPath];
  if (!TemporaryPathFor(destination, temporary)) return FALSE;
  if (!WriteFlushedCopy("CopyFileDurably", true, source, destination, temporary)) {
    return FALSE;
  }
  if (!Admit("CopyFileDurably:rename", temporary, destination)) return FailRemoving(temporary);
  if (!::MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return FailRemoving(temporary);
  }
  // The destination is complete from here on; write-through has flushed the folder.
  return Admit("CopyFileDurably:flushFolder", FolderOf(destination).c_str());
}

// Windows has no flush of a whole volume for an ordinary user: each temporary file is
// flushed as it is written and each rename written through, and FlushToDisk has nothing
// left to do. The seam steps are those of POSIX, so a test hits the same step on both.
BOOL CopyFileToTemporary(const char* source, const char* destination) {
  char temporary[kMaxPath];
  if (!TemporaryPathFor(destination, temporary)) return FALSE;
  return WriteFlushedCopy("CopyFileToTemporary", false, source, destination, temporary);
}

// A moved file would keep its own security settings where a copy takes the folder's, so
// Windows always copies.
BOOL MoveFileToTemporary(const char* source, const char* destination) {
  char temporary[kMaxPath];
  if (!TemporaryPathFor(destination, temporary)) return FALSE;
  if (!Admit("MoveFileToTemporary", source, temporary)) return FALSE;
  return CopyFileToTemporary(source, destination);
}

BOOL MoveFileReplace(const char* temporary, const char* destination) {
  if (!Admit("MoveFileReplace", temporary, destination)) return FALSE;
  const ::DWORD attributes = ::GetFileAttributesA(destination);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? TRUE
             : FALSE;
}

BOOL FlushToDisk(const std::vector<std::string>& paths) {
  return Admit("FlushToDisk", paths.empty() ? "" : paths.front().c_str()) ? TRUE : FALSE;
}

BOOL RemoveTemporaryFiles(const char* folder) {
  if (!Admit("RemoveTemporaryFiles", folder)) return FALSE;
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  const std::string pattern = prefix + '*';
  ::WIN32_FIND_DATAA entry;
  const ::HANDLE find = ::FindFirstFileA(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    // A folder that is not there holds no temporary file either.
    const ::DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  std::vector<std::string> leftovers;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        EndsWithTemporarySuffix(entry.cFileName)) {
      leftovers.push_back(prefix + entry.cFileName);
    }
  } while (::FindNextFileA(find, &entry));
  ::FindClose(find);

  BOOL allRemoved = TRUE;
  for (const std::string& file : leftovers) {
    if (!Admit("RemoveTemporaryFiles:delete", file.c_str())) {
      allRemoved = FALSE;
      continue;
    }
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileA(file.c_str())) allRemoved = FALSE;
  }
  return allRemoved;
}

}  // namespace host
