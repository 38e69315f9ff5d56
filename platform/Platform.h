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
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Result codes (numbers of the Win32 error codes the adapter compares).
constexpr int kOk = 0;
constexpr int kErrFileNotFound = 2;
constexpr int kErrPathNotFound = 3;
constexpr int kErrAccessDenied = 5;
constexpr int kErrSharingViolation = 32;  // a file in use: a source that changed while copied
constexpr int kErrNotSupported = 50;      // the volume refuses the operation
constexpr int kErrNotSameDevice = 17;
constexpr int kErrFileExists = 80;
constexpr int kErrInvalidParameter = 87;
constexpr int kErrDiskFull = 112;
constexpr int kErrInvalidName = 123;
constexpr int kErrAlreadyExists = 183;
constexpr int kErrNotRegularFile = 222;  // a folder, FIFO, socket, device or link, not a file
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
// Opens a regular file with a C stdio mode ("rb", "ab+", "w" …). nullptr on
// failure, and for a folder, FIFO, socket or device, which is never opened for
// reading (so a FIFO cannot block the caller).
std::FILE* OpenFile(const std::string& path, const char* mode);
// Writes size bytes of an unbuffered stream straight to its file, in one
// system call where the system takes them all. The number of bytes written
// (fewer on failure).
std::size_t WriteUnbuffered(std::FILE* file, const char* data, std::size_t size);
bool PathExists(const std::string& path);
// True when path is a regular file (not a folder, FIFO, socket, device or link).
bool IsRegularFile(const std::string& path);
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
  bool isRegular = false;  // a regular file itself (not a link, FIFO, socket or device)
  uint64_t size = 0;       // bytes; 0 for folders
};
// Lists a folder (not recursive). False when it cannot be read.
bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries);

// Creates newPath as a hard link to the regular file existing. kOk;
// kErrAlreadyExists when newPath exists; kErrNotRegularFile for anything else
// than a regular file.
int CreateHardLink(const std::string& existing, const std::string& newPath);
// Copies a regular file, replacing an existing destination. The data goes to a
// temporary copy beside the destination that replaces it only once whole, so
// a failed copy leaves the destination as it was (or absent).
int CopyFileOverwrite(const std::string& from, const std::string& to);
// Moves a regular file and never replaces an existing destination
// (kErrAlreadyExists). Within a volume it is one rename; across volumes the
// data is copied under a temporary name in the destination folder, flushed,
// renamed into place, and only then is the source removed, so a process killed
// at any instant leaves the file whole at one end (plus at most a temporary
// copy). A source that changes while it is copied stays, its copy goes:
// kErrSharingViolation. A volume without a no-replace rename nor hard links
// gets an exclusive create of the destination, copy, flush and delete.
// A destination that is already the whole copy of the source (same size, time
// and bytes: the move of a run that was killed before it removed the source)
// completes the move: the source goes and the result is kOk.
int MoveFileNoReplace(const std::string& from, const std::string& to);
// The same move for a file that a folder listing has just found to be a
// regular file: the listing's check stands for the up-front one, so a move
// within a volume is a single rename. The copy paths still check the source
// first (kErrNotRegularFile), and never open anything else for reading.
int MoveListedFileNoReplace(const std::string& from, const std::string& to);

// ---- temporary copies ------------------------------------------------------
// True for the one name form of the temporary copies that moves and copies
// write beside their destination (".im_adapter_move_<…>.tmp"). No listing of
// user files may take such a name as a user file.
bool IsTemporaryName(const std::string& name);
// Removes the temporary copies in folder that no copy of this process is
// writing (those a killed run left). The number removed.
int RemoveStaleTemporaries(const std::string& folder);

// ---- names -----------------------------------------------------------------
// True when name can be one entry of a folder on this platform. Everywhere
// refused: "", ".", "..", and a name holding "/", "\" or NUL. On Windows also
// ":", the other characters Windows forbids (< > " | ? *), control characters,
// a trailing "." or blank, and the reserved device names (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, any case, with or without an extension). On POSIX
// "notes 10:30.txt" or "aux.c" are names like any other.
bool IsValidFileName(const std::string& name);
// folder + separator + name (no doubled separator). False for an empty folder
// or a name IsValidFileName refuses.
bool JoinName(const std::string& folder, const std::string& name, std::string* out);

// Test hook, not reachable through the library's exports: failures a test can
// inject into the moves and copies of this process (set while none runs).
struct FileFaultsForTest {
  bool refuseNoReplaceRename = false;  // as on a volume without the no-replace rename
  bool refuseHardLinks = false;        // as on a volume without hard links
  bool treatAsOtherVolume = false;     // every rename of a move reports another volume
  int64_t failCopyAfterBytes = -1;     // a copy fails (disk full) once that many bytes are copied
  // Runs once per copy after its first chunk (a writer changing the source).
  std::function<void(const std::string& source)> duringCopy;
};
void SetFileFaultsForTest(const FileFaultsForTest& faults);

// Bytes available to the caller on the volume that holds path.
bool DiskFreeBytes(const std::string& path, uint64_t* freeBytes);
// Identity of the volume of path (or of its nearest existing ancestor).
// False when path is not absolute or no ancestor exists.
bool VolumeOf(const std::string& path, std::string* volume);
// True when path exists and the process may read and write it.
bool IsReadWritable(const std::string& path);

}  // namespace platform
