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

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

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
  return ::_wfopen(WidePath(path).c_str(), Widen(mode).c_str());
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
    if (!entry.isDirectory) {
      entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    entries->push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

int CreateHardLink(const std::string& existing, const std::string& newPath) {
  if (::CreateHardLinkW(WidePath(newPath).c_str(), WidePath(existing).c_str(), nullptr)) {
    return kOk;
  }
  return LastNativeError();
}

int CopyFileOverwrite(const std::string& from, const std::string& to) {
  if (::CopyFileW(WidePath(from).c_str(), WidePath(to).c_str(), /*bFailIfExists=*/FALSE)) {
    return kOk;
  }
  return LastNativeError();
}

// MoveFileW never replaces an existing destination (80 or 183 come back as they
// are); across volumes it copies the data and deletes the source.
int MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (::MoveFileW(WidePath(from).c_str(), WidePath(to).c_str())) return kOk;
  return LastNativeError();
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

bool VolumeOf(const std::string& path, std::string* volume) {
  if (!IsAbsolutePath(path)) return false;
  const std::string probe = NearestExisting(path);
  if (probe.empty()) return false;
  wchar_t mount[MAX_PATH + 1] = {0};
  if (!::GetVolumePathNameW(WidePath(probe).c_str(), mount, MAX_PATH + 1)) return false;
  // The volume's GUID name identifies it under every mount point; where the
  // system has none (network shares), the mount point itself serves.
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

}  // namespace platform
