// Host file-system operations: the only place that knows the operating system.
//
// The engine and the package extractor reach files and folders through these functions
// alone. They carry the Win32 names and give the Win32 results their callers rely on:
// on Windows (host_win32.cpp) they are the KERNEL32 functions themselves, on Linux
// (host_posix.cpp) our own implementation with Windows semantics:
//   - '\' and '/' both separate path components; paths are otherwise used as given;
//   - a component that does not exist with its exact name is matched without regard to
//     ASCII case in its folder, as on Windows; several such matches and no exact one make
//     the operation fail (ambiguous); new files and folders keep the case they are given;
//   - a file without write permission is read-only: it cannot be deleted, copied over or
//     replaced, whoever runs the program (root included).
//
// Every operation that touches the file system passes the test seam first (Seam.h), so a
// test can make the N-th operation fail or end the process there. Nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

using BOOL = int;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using HANDLE = void*;

// The constants carry the Win32 values under names of our own, so that this header and
// <windows.h> (whose constants are macros) can meet in one translation unit.

// A path buffer: at most 259 characters and the terminating zero.
inline constexpr DWORD kMaxPath = 260;

inline constexpr DWORD kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr DWORD kAttributeReadOnly = 0x01;
inline constexpr DWORD kAttributeDirectory = 0x10;
inline constexpr DWORD kAttributeNormal = 0x80;
// Set besides the others when the path's last component is a symbolic link (or another
// reparse point on Windows); the rest describes what the link leads to.
inline constexpr DWORD kAttributeReparsePoint = 0x400;

inline constexpr DWORD kGenericRead = 0x80000000u;
inline constexpr DWORD kGenericWrite = 0x40000000u;
inline constexpr DWORD kCreateAlways = 2;  // create, or empty an existing file
inline constexpr DWORD kOpenExisting = 3;  // fail when the file is missing
inline constexpr DWORD kOpenAlways = 4;    // open, or create when missing (never empties)

// INVALID_HANDLE_VALUE: distinct from every handle an operation returns.
inline HANDLE const kInvalidHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// 100-nanosecond intervals since 1601-01-01, UTC unless a name says local.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[kMaxPath];
};

// Last error of the calling thread after a failed operation, as Win32 numbers it.
inline constexpr DWORD kErrorFileNotFound = 2;
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorAccessDenied = 5;
inline constexpr DWORD kErrorInvalidHandle = 6;
inline constexpr DWORD kErrorNotSameDevice = 17;
inline constexpr DWORD kErrorNoMoreFiles = 18;
inline constexpr DWORD kErrorWriteFault = 29;
inline constexpr DWORD kErrorSharingViolation = 32;
inline constexpr DWORD kErrorHandleDiskFull = 39;
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorInvalidParameter = 87;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorInvalidName = 123;
inline constexpr DWORD kErrorNegativeSeek = 131;
inline constexpr DWORD kErrorDirNotEmpty = 145;
inline constexpr DWORD kErrorAlreadyExists = 183;
inline constexpr DWORD kErrorFilenameExcedRange = 206;
inline constexpr DWORD kErrorDirectory = 267;  // a folder was expected
inline constexpr DWORD kErrorAmbiguousName = 0x20000001u;  // ours: names that differ only in case
inline constexpr DWORD kErrorInjectedFault = 0x20000002u;  // ours: the test seam said fail
DWORD GetLastError();
void SetLastError(DWORD error);

// The current directory, without a trailing separator unless it is a root. Returns its
// length, or the size needed (terminator included) when `length` is too small, or 0.
DWORD GetCurrentDirectoryA(DWORD length, char* buffer);
BOOL SetCurrentDirectoryA(const char* path);

// Makes one folder whose parent exists; fails without effect when the path exists.
BOOL CreateDirectoryA(const char* path);
// Removes an empty folder; `path` may end in a separator. Fails on a folder with entries.
BOOL RemoveDirectoryA(const char* path);
// Deletes one file. Fails on a folder (also "." and ".."), a missing or a read-only file.
BOOL DeleteFileA(const char* path);
// `destination` receives `source`'s content, last-write time and read-only attribute,
// replacing an existing file. Fails without effect when the source is missing, the
// destination's folder is missing, the destination is read-only or a folder, source and
// destination are one file, or (with `failIfExists`) the destination exists. A copy that
// breaks off part way leaves no destination. Not atomic: see CopyFileDurably.
BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists);

// Enumerates a folder with a pattern of the form "folder\*.*" or "folder\*" (every entry,
// "." and ".." included; other patterns with '*' and '?' match without regard to case).
// FindFirstFileA returns kInvalidHandle when the folder cannot be read or nothing matches.
// The Linux host lists "." and ".." first, then the names in case-folded order.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);  // FALSE after the last entry
BOOL FindClose(HANDLE find);

// kInvalidFileAttributes when nothing is there; kAttributeDirectory for a folder,
// kAttributeReadOnly for a read-only file, else kAttributeNormal; kAttributeReparsePoint is
// added when the last component is a link.
DWORD GetFileAttributesA(const char* path);
// Sets or clears the read-only attribute (the only one honoured).
BOOL SetFileAttributesA(const char* path, DWORD attributes);

// The absolute form of `name` (relative names resolve against the current directory), with
// "." and ".." components folded as text and a trailing separator kept; nothing on disk is
// looked up. Returns its length, the size needed when the buffer is too small, or 0 on
// failure. The Linux host writes '/' between components.
DWORD GetFullPathNameA(const char* name, DWORD length, char* buffer);

// Binary files. `access` is kGenericRead and/or kGenericWrite, `creation` one of
// kCreateAlways, kOpenExisting, kOpenAlways. Opening a read-only file for writing fails.
// Symbolic links (Linux): nothing is written through a link that ends a path. Opening for
// writing or creating, CopyFileA's destination and SetFileAttributesA fail with
// kErrorAccessDenied when the path's last component is a link; deleting or renaming over
// a link acts on the link itself. Links among the folders of a path are followed, since
// the game and package folders may lie behind one (a game library on another disk); links
// below those folders are refused by the callers, who know where the folders begin
// (GoesThroughLink in platform/Paths.h).
HANDLE CreateFileA(const char* path, DWORD access, DWORD creation);
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written);
// Moves the file position to `offset` bytes from the start (our simplified SetFilePointerEx).
BOOL SetFilePointerFromStart(HANDLE file, std::int64_t offset);
// The file's size in bytes, or -1.
std::int64_t GetFileSizeOf(HANDLE file);
// Writes the file's data through to the disk.
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE file);  // also what ends a handle from CreateFileA; not FindFirstFileA's

// A null pointer is not filled. Linux reports the birth time as creation time where the file
// system keeps one, else the time of the last change of the file's status.
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
// A null pointer leaves that time unchanged. Linux cannot set a creation time: it is
// accepted and ignored there.
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);
// An MS-DOS date and time become a file time, still in local time. FALSE with
// kErrorInvalidParameter for an impossible date or time (month 0, 31 April, 24:00, ...).
BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime);
// Local time to UTC, with the time-zone offset in force now (as Windows does).
BOOL LocalFileTimeToFileTime(const FILETIME* localTime, FILETIME* utcTime);

// Compares without regard to ASCII case; <0, 0, >0 like strcmp.
int lstrcmpiA(const char* a, const char* b);

// ---- Durable replacement -------------------------------------------------------------
// A write that must never leave a destination half-written goes to a temporary file in the
// destination's folder (TemporaryPathFor), which is flushed, then renamed over the
// destination, and the folder flushed: the destination holds its old or its new content,
// never a mix. Temporary names end in kTemporarySuffix, which no game file carries.

inline constexpr char kTemporarySuffix[] = ".kyr~";

// `destination` + kTemporarySuffix into `buffer` (kMaxPath bytes). FALSE when it would not
// fit, with kErrorFilenameExcedRange.
BOOL TemporaryPathFor(const char* destination, char* buffer);

// Renames the flushed `temporary` over `destination` (replacing it) and flushes the folder:
// on Windows MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH. Fails
// with kErrorAccessDenied, leaving both as they were, when `destination` is read-only or a
// folder. Seam steps: "MoveFileReplaceDurably:rename", "MoveFileReplaceDurably:flushFolder"
// (when only the folder flush fails, the rename has happened).
BOOL MoveFileReplaceDurably(const char* temporary, const char* destination);

// The whole discipline for a copy: `source` copied (content, last-write time, read-only
// attribute) to the temporary file beside `destination`, flushed, renamed over it, folder
// flushed. Fails like CopyFileA, and with kErrorFilenameExcedRange when the temporary
// name would not fit a path buffer; on failure no temporary file is left and
// `destination` is as it was, except after a failed folder flush (the last step): the
// destination then already holds the complete new content, but the call still fails
// because the rename may not be on the disk yet. Seam steps, in order:
// "CopyFileDurably:create", ":write", ":flush", ":rename", ":flushFolder".
BOOL CopyFileDurably(const char* source, const char* destination);

// ---- Durable replacement in batches ---------------------------------------------------
// A flush costs a disk cache flush, so flushing each of thousands of files makes copying
// them many times slower. A batch keeps the same discipline with two flushes in all:
//   CopyFileToTemporary for every file;  FlushToDisk(their destinations);
//   MoveFileReplace for every file;      FlushToDisk(their destinations).
// Nothing is renamed before the data it exposes are on the disk, and nothing counts as
// durable before the second FlushToDisk returned TRUE.

// `source` copied (content, last-write time, read-only attribute) to the temporary file
// beside `destination` (TemporaryPathFor), replacing one left there by an interrupted
// run. Not necessarily flushed: FlushToDisk must follow before the rename. Fails like
// CopyFileA; on failure no temporary file is left and `destination` is untouched. Seam
// steps "CopyFileToTemporary:create", "CopyFileToTemporary:write".
BOOL CopyFileToTemporary(const char* source, const char* destination);

// As CopyFileToTemporary, but the source itself may become the temporary file: Linux
// renames it there when it is a plain file on the destination's file system, giving it
// the mode and times that a copy would have; elsewhere (and always on Windows) it is
// copied, with the seam steps of CopyFileToTemporary. For a source that nothing needs
// afterwards (an extracted file about to be cleaned up). On success the source may be
// gone; on failure it is where it was. Seam step "MoveFileToTemporary".
BOOL MoveFileToTemporary(const char* source, const char* destination);

// Renames `temporary` over `destination` with the checks of MoveFileReplaceDurably; the
// rename is not necessarily on the disk until a FlushToDisk that names `destination`.
// Seam step "MoveFileReplace".
BOOL MoveFileReplace(const char* temporary, const char* destination);

// Brings to the disk what was written into `paths` and the renames into their folders
// (each path's folder must exist). Linux: one syncfs per file system, which writes
// whatever else is pending there too. Windows: the temporary files were flushed when
// written and the renames written through, so nothing is left to do. Seam step
// "FlushToDisk", once per call.
BOOL FlushToDisk(const std::vector<std::string>& paths);

// Deletes every file ending in kTemporarySuffix (any case) directly inside `folder` (left
// by an interrupted run), read-only ones too. TRUE when the folder does not exist; FALSE
// when one could not be deleted. Seam steps: "RemoveTemporaryFiles" for the folder, then
// "RemoveTemporaryFiles:delete" per file.
BOOL RemoveTemporaryFiles(const char* folder);

// True in the Windows program. Paths with a drive letter ("C:\...") are its own; the Linux
// program takes them for relative names and must not act on a log that holds them.
#ifdef _WIN32
inline constexpr bool kIsWindows = true;
#else
inline constexpr bool kIsWindows = false;
#endif

}  // namespace host
