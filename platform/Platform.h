// The operating-system services the adapter uses, behind one small interface.
//
// Everything outside platform/ calls the OS only through these functions; the
// POSIX implementation lives in platform/posix, the Win32 one in platform/win32,
// and CMake compiles exactly one of them.
//
// Conventions:
// - Paths are UTF-8 texts. The Win32 side converts them to UTF-16 for the wide
//   file interfaces; the POSIX side uses them as they are.
// - Results that the adapter compares are its own result codes, which keep the
//   numbers of the Win32 error codes (kOk, kErrFileExists, kErrAlreadyExists …).
//   Each implementation translates its native errors in exactly one function,
//   TranslateNativeError().
// - No function throws.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Result codes (numbers of the Win32 error codes the adapter compares).
constexpr int kOk = 0;
constexpr int kErrFileNotFound = 2;
constexpr int kErrPathNotFound = 3;
constexpr int kErrAccessDenied = 5;
constexpr int kErrNotSameDevice = 17;
constexpr int kErrFileExists = 80;
constexpr int kErrInvalidParameter = 87;
constexpr int kErrDiskFull = 112;
constexpr int kErrInvalidName = 123;
constexpr int kErrAlreadyExists = 183;
constexpr int kErrGeneric = 31;  // ERROR_GEN_FAILURE: anything without a closer match

// The folder separator of this platform's paths: '/' on POSIX, '\\' on Windows.
char PathSeparator();
// True when c separates folders on this platform ('/' on POSIX; '/' and '\\' on Windows).
bool IsPathSeparator(char c);

// Translates the calling thread's last native error (errno / GetLastError) into
// a result code. Codes without a Win32 counterpart become kErrGeneric.
int LastError();
// Human-readable text of the last native error, for log lines.
std::string LastErrorText();

// ---- time and identity -----------------------------------------------------
struct LocalTime {
  int year = 0;    // e.g. 2026
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};
LocalTime NowLocal();
// Milliseconds since 1970-01-01 UTC.
int64_t NowUnixMillis();
uint64_t ProcessId();
uint64_t ThreadId();
// Names the calling thread (best effort; shown by debuggers and `top -H`).
void SetCurrentThreadName(const char* name);
// Keeps the loaded library (or program) that holds address in memory until the
// process ends: a later FreeLibrary or dlclose no longer unloads it. False when
// the library cannot be found or pinned. Idempotent.
bool PinLibraryContaining(const void* address);

// ---- files and folders -----------------------------------------------------
// Opens a file with a C stdio mode ("rb", "ab+", "w" …). nullptr on failure.
std::FILE* OpenFile(const std::string& path, const char* mode);
// Writes size bytes of an unbuffered stream straight to its file, in one
// system call where the system takes them all. The number of bytes written
// (fewer on failure).
std::size_t WriteUnbuffered(std::FILE* file, const char* data, std::size_t size);
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates one folder level. kOk, kErrAlreadyExists, or another code.
int MakeDirectory(const std::string& path);
// Creates every missing level of path. True when the folder exists afterwards.
bool MakeDirectories(const std::string& path);
// Renames, replacing an existing destination (log rotation).
int RenameReplace(const std::string& from, const std::string& to);
int RemoveFile(const std::string& path);
std::string CurrentDirectory();
// True for "/x" on POSIX, "C:\x", "C:/x" and "\\server\x" on Windows.
bool IsAbsolutePath(const std::string& path);

struct DirEntry {
  std::string name;   // the entry's own name, never "." or ".."
  bool isDirectory = false;
  uint64_t size = 0;  // bytes; 0 for folders
};
// Lists a folder (not recursive). False when it cannot be read.
bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries);

// Creates newPath as a hard link to existing. kOk; kErrAlreadyExists when newPath exists.
int CreateHardLink(const std::string& existing, const std::string& newPath);
// Copies a file, replacing an existing destination.
int CopyFileOverwrite(const std::string& from, const std::string& to);
// Moves a file and never replaces an existing destination (kErrAlreadyExists).
// Within a volume it is one rename; across volumes the data is copied under a
// temporary name in the destination folder, flushed, renamed into place and
// only then is the source removed, so the file is always whole at one end.
int MoveFileNoReplace(const std::string& from, const std::string& to);

// Bytes available to the caller on the volume that holds path.
bool DiskFreeBytes(const std::string& path, uint64_t* freeBytes);
// Identity of the volume of path (or of its nearest existing ancestor).
// False when path is not absolute or no ancestor exists.
bool VolumeOf(const std::string& path, std::string* volume);
// True when path exists and the process may read and write it.
bool IsReadWritable(const std::string& path);

}  // namespace platform
