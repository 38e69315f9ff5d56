// Win32 implementation of the platform interface.
//
// Paths arrive as UTF-8 and are converted to UTF-16 for the wide file
// functions; "/" and "\" both separate folders. Result codes are the Win32
// error codes themselves, so a failure reaches the caller as GetLastError()
// reported it (183 and 80 for an existing destination, 2 for a missing file …).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// <windows.h> maps CreateHardLink to CreateHardLinkW; the platform function of
// that name is defined below.
#undef CreateHardLink

#include <io.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/NativeFiles.h"
#include "platform/Platform.h"

namespace platform {
namespace {

// The one place where a native error becomes an adapter result code. The
// adapter's codes are the Win32 numbers, so every code passes through.
int TranslateNativeError(DWORD err) { return static_cast<int>(err); }

int LastNativeError() { return TranslateNativeError(::GetLastError()); }

// ---- handles -------------------------------------------------------------------------------

// Owns a kernel handle from CreateFileW; closes it when it leaves scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Owns a search handle from FindFirstFileW; closes it with FindClose.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) ::FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// ---- text ----------------------------------------------------------------------------------

// UTF-8 → UTF-16. Invalid sequences become U+FFFD rather than failing, so that a
// path with a stray byte still reaches the file system (and fails there, with a
// Win32 error the caller can log).
std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], units);
  return wide;
}

// UTF-16 → UTF-8 (unpaired surrogates become U+FFFD).
std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  const int size = static_cast<int>(length);
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string narrow(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, size, &narrow[0], bytes, nullptr, nullptr);
  return narrow;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// True when the path has a "." or ".." component, which the "\\?\" form would
// not resolve.
bool HasDotComponent(const std::wstring& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::wstring part = path.substr(start, end - start);
    if (part == L"." || part == L"..") return true;
    start = end + 1;
  }
  return false;
}

// The wide form of a path for the file functions. An absolute path too long for
// the classic limit gets the "\\?\" prefix (with "\" separators), which lifts it;
// every other path is passed as written.
std::wstring WidePath(const std::string& path) {
  std::wstring wide = Widen(path);
  constexpr size_t kClassicLimit = 248;  // CreateDirectoryW's limit, the lowest of all
  if (wide.size() < kClassicLimit || !IsAbsolutePath(path) || HasDotComponent(wide)) return wide;
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
}

// Length of the root of path that is not a folder to create or to strip:
// "C:\" → 3, "C:" → 2, "\\server\share\" → up to and including the share's "\".
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    return (path.size() >= 3 && IsPathSeparator(path[2])) ? 3 : 2;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    size_t pos = path.find_first_of("\\/", 2);  // end of the server name
    if (pos == std::string::npos) return path.size();
    pos = path.find_first_of("\\/", pos + 1);  // end of the share name
    return pos == std::string::npos ? path.size() : pos + 1;
  }
  return (!path.empty() && IsPathSeparator(path[0])) ? 1 : 0;
}

// The folder that holds path; "" when path is a root or a bare name.
std::string ParentOf(const std::string& path) {
  std::string trimmed = path;
  const size_t root = RootLength(trimmed);
  while (trimmed.size() > root && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  const size_t pos = trimmed.find_last_of("\\/");
  if (pos == std::string::npos || pos + 1 <= root) {
    return trimmed.size() > root ? trimmed.substr(0, root) : std::string();
  }
  return trimmed.substr(0, pos);
}

// The directory argument of the free-space query: a bare drive letter ("C") or
// a drive ("C:") means that drive's root.
std::string FreeSpaceDirectory(const std::string& path) {
  if (path.size() == 1 && IsDriveLetter(path[0])) return path + ":\\";
  if (path.size() == 2 && IsDriveLetter(path[0]) && path[1] == ':') return path + "\\";
  return path;
}

// path itself when it exists, else its nearest existing ancestor; "" when no
// level exists (a relative path whose every level is missing, a missing drive).
std::string NearestExisting(const std::string& path) {
  std::string probe = path;
  while (!probe.empty() && !PathExists(probe)) probe = ParentOf(probe);
  return probe;
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(WidePath(path).c_str()); }

// A regular file: not a folder or device. A file that is a reparse point (a
// cloud placeholder, a file link) is read through it like any file, so it
// counts; a pipe or console is told apart after the open (GetFileType).
bool IsRegularAttributes(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

int64_t Ticks(const FILETIME& time) {
  return (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// ERROR_INVALID_FUNCTION and ERROR_NOT_SUPPORTED both mean that the volume
// does not offer the operation (FAT has no hard links, some network volumes
// refuse renames that keep the target).
int UnsupportedOrLastError() {
  const DWORD error = ::GetLastError();
  if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return kErrNotSupported;
  }
  return TranslateNativeError(error);
}

// Copies in to out with the observer after each chunk; a result code.
int CopyHandles(HANDLE in, HANDLE out, const native::CopyObserver& observer) {
  std::vector<char> buffer(1 << 16);
  uint64_t copied = 0;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return LastNativeError();
    }
    if (read == 0) return kOk;
    DWORD offset = 0;
    while (offset < read) {
      DWORD written = 0;
      if (!::WriteFile(out, buffer.data() + offset, read - offset, &written, nullptr)) {
        return LastNativeError();
      }
      offset += written;
    }
    copied += read;
    const int rc = observer ? observer(copied) : kOk;
    if (rc != kOk) return rc;
  }
}

native::FileStatus StatusFromHandle(const BY_HANDLE_FILE_INFORMATION& info) {
  native::FileStatus status;
  status.kind = IsRegularAttributes(info.dwFileAttributes) ? native::FileKind::kRegular
                : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                    ? native::FileKind::kDirectory
                    : native::FileKind::kOther;
  status.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status.modified = Ticks(info.ftLastWriteTime);
  return status;
}

// The reserved device names, whose "file" in any folder is the device itself.
bool IsReservedDeviceName(const std::wstring& name) {
  // The part before the first "." (blanks before it do not count) decides.
  std::wstring base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(::towupper(c));
  for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL"}) {
    if (base == reserved) return true;
  }
  if (base.size() != 4) return false;
  const std::wstring stem = base.substr(0, 3);
  const wchar_t digit = base[3];
  // COM1-9, LPT1-9, and the superscript digits that Windows counts as well.
  const bool isDigit = (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' ||
                       digit == L'\u00B2' || digit == L'\u00B3';
  return isDigit && (stem == L"COM" || stem == L"LPT");
}

// SetThreadDescription exists from Windows 10 1607 on: looked up at run time so
// that the library still loads on older systems.
using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

SetThreadDescriptionFn LookUpSetThreadDescription() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  FARPROC proc = ::GetProcAddress(kernel, "SetThreadDescription");
  // Through void*, as the address is of a different function type than FARPROC.
  return reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void*>(proc));
}

}  // namespace

char PathSeparator() { return '\\'; }
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

int LastError() { return LastNativeError(); }

std::string LastErrorText() {
  const DWORD code = ::GetLastError();
  wchar_t buffer[512] = {0};
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = ::FormatMessageW(flags, nullptr, code, 0, buffer, 512, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                        buffer[length - 1] == L' ' || buffer[length - 1] == L'.')) {
    --length;
  }
  const std::string code_text = "error " + std::to_string(code);
  if (length == 0) return code_text;
  return Narrow(buffer, length) + " (" + code_text + ")";
}

// ---- time and identity ---------------------------------------------------------------------

LocalTime NowLocal() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

int64_t NowUnixMillis() {
  FILETIME ft{};
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER ticks{};  // 100-ns intervals since 1601-01-01 UTC
  ticks.LowPart = ft.dwLowDateTime;
  ticks.HighPart = ft.dwHighDateTime;
  constexpr int64_t kTicksFrom1601To1970 = 116444736000000000LL;
  return (static_cast<int64_t>(ticks.QuadPart) - kTicksFrom1601To1970) / 10000;
}

uint64_t ProcessId() { return static_cast<uint64_t>(::GetCurrentProcessId()); }
uint64_t ThreadId() { return static_cast<uint64_t>(::GetCurrentThreadId()); }

bool PinLibraryContaining(const void* address) {
  HMODULE module = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            static_cast<LPCWSTR>(address), &module) != 0;
}

void SetCurrentThreadName(const char* name) {
  static const SetThreadDescriptionFn setDescription = LookUpSetThreadDescription();
  if (setDescription == nullptr || name == nullptr) return;
  setDescription(::GetCurrentThread(), Widen(name).c_str());
}

// ---- files and folders ---------------------------------------------------------------------

std::FILE* OpenFile(const std::string& path, const char* mode) {
  if (mode == nullptr) return nullptr;
  // A folder or device is refused before it is opened; the handle's type is
  // checked again after the open (a pipe or console is not a disk file).
  const DWORD attributes = Attributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsRegularAttributes(attributes)) {
    ::SetLastError(kErrNotRegularFile);
    return nullptr;
  }
  std::FILE* file = ::_wfopen(WidePath(path).c_str(), Widen(mode).c_str());
  if (file == nullptr) return nullptr;
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(file);
    ::SetLastError(kErrNotRegularFile);
    return nullptr;
  }
  return file;
}

std::size_t WriteUnbuffered(std::FILE* file, const char* data, std::size_t size) {
  // The C runtime's unbuffered stream already writes in one call.
  return std::fwrite(data, 1, size, file);
}

bool PathExists(const std::string& path) {
  return !path.empty() && Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int MakeDirectory(const std::string& path) {
  if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) return kOk;
  return LastNativeError();
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  const size_t root = RootLength(path);
  for (size_t pos = root; pos <= path.size(); ++pos) {
    if (pos != path.size() && !IsPathSeparator(path[pos])) continue;
    if (pos == root || IsPathSeparator(path[pos - 1])) continue;  // root or doubled separator
    const std::string prefix = path.substr(0, pos);
    if (IsDirectory(prefix)) continue;
    if (MakeDirectory(prefix) != kOk && !IsDirectory(prefix)) return false;
  }
  return IsDirectory(path);
}

int RenameReplace(const std::string& from, const std::string& to) {
  if (::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return kOk;
  }
  return LastNativeError();
}

int RemoveFile(const std::string& path) {
  if (::DeleteFileW(WidePath(path).c_str())) return kOk;
  return LastNativeError();
}

std::string CurrentDirectory() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return std::string();
  std::wstring buffer(needed, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(needed, &buffer[0]);
  if (length == 0 || length >= needed) return std::string();
  return Narrow(buffer.data(), length);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsPathSeparator(path[2])) {
    return true;
  }
  return path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && !IsPathSeparator(path[2]);
}

bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries) {
  entries->clear();
  std::string pattern = path;
  if (!pattern.empty() && !IsPathSeparator(pattern.back())) pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW data{};
  FindHandle find(::FindFirstFileW(WidePath(pattern).c_str(), &data));
  if (!find.valid()) {
    // "Nothing matches" is an empty drive root, not a missing folder.
    return ::GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(path);
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirEntry entry;
    entry.name = Narrow(name);
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isRegular = IsRegularAttributes(data.dwFileAttributes);
    if (!entry.isDirectory) {
      entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    entries->push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool DiskFreeBytes(const std::string& path, uint64_t* freeBytes) {
  // A folder that does not exist yet is held by the volume of its nearest
  // existing ancestor.
  const std::string probe = NearestExisting(FreeSpaceDirectory(path));
  if (probe.empty()) return false;
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(WidePath(probe).c_str(), &available, nullptr, nullptr)) return false;
  *freeBytes = static_cast<uint64_t>(available.QuadPart);
  return true;
}

// The drive of a migration is its volume rather than the text before ":": so
// C:\x and c:\y are one drive, and a substituted drive, a second letter for
// the same folder or a volume mounted in a folder is the volume it really is.
// The free-space check and "Same disk" follow from it. The identity is the
// serial number of the volume that holds the path, read through a handle on
// the path itself: every name of a volume leads to it (the volume's GUID name
// does not: a substituted drive, or a Wine drive letter, has its own). Where
// no serial is known, the GUID name serves, and where there is none (network
// shares) the mount point. Two volumes that share a serial (a cloned disk)
// count as one and skip the free-space check; their moves still copy, as the
// rename between them fails.
bool VolumeOf(const std::string& path, std::string* volume) {
  if (!IsAbsolutePath(path)) return false;
  const std::string probe = NearestExisting(path);
  if (probe.empty()) return false;
  {
    FileHandle handle(::CreateFileW(WidePath(probe).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle.valid() && ::GetFileInformationByHandle(handle.get(), &info) &&
        info.dwVolumeSerialNumber != 0) {
      char serial[24];
      std::snprintf(serial, sizeof serial, "serial %08lX",
                    static_cast<unsigned long>(info.dwVolumeSerialNumber));
      *volume = serial;
      return true;
    }
  }
  wchar_t mount[MAX_PATH + 1] = {0};
  if (!::GetVolumePathNameW(WidePath(probe).c_str(), mount, MAX_PATH + 1)) return false;
  wchar_t guid[MAX_PATH + 1] = {0};
  if (::GetVolumeNameForVolumeMountPointW(mount, guid, MAX_PATH + 1)) {
    *volume = Narrow(guid, std::wcslen(guid));
    return true;
  }
  std::wstring name = mount;
  for (wchar_t& c : name) c = static_cast<wchar_t>(::towupper(c));
  *volume = Narrow(name);
  return true;
}

// Opens the path for reading and writing; the backup-semantics flag lets the
// call open a folder as well as a file.
bool IsReadWritable(const std::string& path) {
  if (path.empty()) return false;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL;
  FileHandle handle(::CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, share,
                                  nullptr, OPEN_EXISTING, flags, nullptr));
  return handle.valid();
}

// ---- primitives of the shared file rules ----------------------------------------

namespace native {

int StatusOf(const std::string& path, FileStatus* status) {
  *status = FileStatus();
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kOk;
    return TranslateNativeError(error);
  }
  if (!IsRegularAttributes(attributes)) {
    status->kind =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory : FileKind::kOther;
    return kOk;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
    return LastNativeError();
  }
  status->kind = FileKind::kRegular;
  status->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  status->modified = Ticks(data.ftLastWriteTime);
  return kOk;
}

// MoveFileExW without flags: it never replaces (183) and never copies (17
// across volumes); the copy is the shared protocol's, which a kill cannot
// leave half done under the real name.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), 0)) return kOk;
  return UnsupportedOrLastError();
}

int Link(const std::string& existing, const std::string& newPath) {
  if (::CreateHardLinkW(WidePath(newPath).c_str(), WidePath(existing).c_str(), nullptr)) {
    return kOk;
  }
  return UnsupportedOrLastError();
}

int CopyToNewFile(const std::string& from, const std::string& to, const CopyObserver& observer,
                  FileStatus* before, FileStatus* after) {
  const DWORD attributes = Attributes(from);
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastNativeError();
  if (!IsRegularAttributes(attributes)) {
    ::SetLastError(kErrNotRegularFile);
    return kErrNotRegularFile;
  }
  // Writers are shut out while the copy reads: a file open for writing is in
  // use (32) and stays where it is.
  FileHandle in(::CreateFileW(WidePath(from).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.valid()) return LastNativeError();
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(in.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(in.get(), &info) ||
      !IsRegularAttributes(info.dwFileAttributes)) {
    ::SetLastError(kErrNotRegularFile);
    return kErrNotRegularFile;
  }
  *before = StatusFromHandle(info);
  int rc = kOk;
  {
    FileHandle out(::CreateFileW(WidePath(to).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return LastNativeError();
    rc = CopyHandles(in.get(), out.get(), observer);
    if (rc == kOk && !::SetFileTime(out.get(), nullptr, nullptr, &info.ftLastWriteTime)) {
      rc = LastNativeError();
    }
    if (rc == kOk && !::FlushFileBuffers(out.get())) rc = LastNativeError();
  }
  if (rc == kOk && !::GetFileInformationByHandle(in.get(), &info)) rc = LastNativeError();
  if (rc == kOk) *after = StatusFromHandle(info);
  if (rc != kOk) {
    const DWORD saved = ::GetLastError();
    ::DeleteFileW(WidePath(to).c_str());
    ::SetLastError(saved);
  }
  return rc;
}

// NTFS journals folder entries; a folder handle cannot be flushed without
// write access to the folder, which the migration does not need.
int SyncFolder(const std::string& /*folder*/) { return kOk; }

bool RefusesName(const std::string& name) {
  const std::wstring wide = Widen(name);
  if (wide.empty() || wide.back() == L'.' || wide.back() == L' ') return true;
  for (wchar_t c : wide) {
    if (c < 0x20 || std::wcschr(L":<>\"|?*", c) != nullptr) return true;
  }
  return IsReservedDeviceName(wide);
}

void SetLastResult(int code) { ::SetLastError(static_cast<DWORD>(code)); }

}  // namespace native
}  // namespace platform
