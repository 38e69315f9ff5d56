// Windows dialogs: the common save-file dialog and the shell folder browser.
//
// Texts arrive as UTF-8 and are converted to UTF-16 for the wide interfaces;
// every path buffer holds 260 units (MAX_PATH) including the terminator.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
// clang-format on

#include <cstdint>
#include <cwchar>
#include <string>

#include "platform/Dialogs.h"

namespace platform {
namespace {

static_assert(kDialogPathUnits == MAX_PATH, "dialog path buffers hold MAX_PATH units");
static_assert(kDialogErrBufferTooSmall == FNERR_BUFFERTOOSMALL, "buffer-too-small error code");
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "the 32-bit structure size");

// OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR.
constexpr DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
static_assert(kSaveFlags == 0x0A, "save dialog flags");
// BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;
static_assert(kBrowseFlags == 0x43, "folder browser flags");
// Share read | write | delete; a folder opens only with backup semantics.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kOpenFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL;

// The folder the browser opens on. One process-wide buffer: the folder
// dialog runs on the service thread only.
wchar_t g_defaultPathBuffer[MAX_PATH];

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], units);
  return wide;
}

std::string ToUtf8(const wchar_t* text) {
  const int units = static_cast<int>(std::wcslen(text));
  if (units == 0) return std::string();
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string narrow(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, units, &narrow[0], bytes, nullptr, nullptr);
  return narrow;
}

// Copies text into a zeroed buffer of `capacity` units, truncated so that the
// last `reserved` units stay NUL.
void CopyTruncated(const std::wstring& text, wchar_t* buffer, size_t capacity, size_t reserved) {
  std::wmemset(buffer, L'\0', capacity);
  const size_t room = capacity - reserved;
  const size_t n = text.size() < room ? text.size() : room;
  std::wmemcpy(buffer, text.data(), n);
}

// The save dialog's filter: description, NUL, patterns joined by ";", NUL,
// NUL. For a suffix: the text "Files (*ext)%*ext%" in which every "%" then
// becomes a NUL.
void BuildFilter(const std::string& fileType, const std::string& suffix, wchar_t* buffer) {
  FileFilter filter = SaveFileFilter(fileType, suffix);
  std::wstring text = ToWide(filter.description) + L"%";
  for (size_t i = 0; i < filter.patterns.size(); ++i) {
    text += (i == 0 ? L"" : L";") + ToWide(filter.patterns[i]);
  }
  text += L"%";
  // Two units stay NUL so the list always ends with a double NUL.
  CopyTruncated(text, buffer, MAX_PATH, 2);
  for (size_t i = 0; i < MAX_PATH; ++i) {
    if (buffer[i] == L'%') buffer[i] = L'\0';
  }
}

// The owner as a window handle. The value carries the handle's bits (a 32-bit
// handle written signed or unsigned, or a pointer-sized one). A value that does
// not fit this build's handle size (above 32 bits in the 32-bit build) or that
// names no window gives no owner: the dialog then shows on its own instead of
// failing or attaching to an unrelated window.
HWND OwnerWindow(int64_t owner) {
  if (owner == 0) return nullptr;
  if (sizeof(HWND) < sizeof(int64_t) &&
      (owner < INT32_MIN || owner > static_cast<int64_t>(UINT32_MAX))) {
    return nullptr;
  }
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(owner));
  return IsWindow(window) ? window : nullptr;
}

// Opens the browser on the folder in lpData once it is ready.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM /*param*/, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageA(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

// COM for the dialogs' shell parts (the new-style folder browser, the save
// dialog's places and previews), for the time of one dialog.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

class Win32DialogBackend : public DialogBackend {
 public:
  DialogOutcome SaveFile(const SaveFileDialogOptions& options) override;
  DialogOutcome ChooseFolder(const ChooseFolderDialogOptions& options) override;
};

DialogOutcome Win32DialogBackend::SaveFile(const SaveFileDialogOptions& options) {
  // COM for the dialog's shell parts, as for the folder browser.
  ComApartment com;
  wchar_t fileBuffer[MAX_PATH];
  CopyTruncated(ToWide(CutToUtf16Units(options.fileName, kDialogMaxPathUnits)), fileBuffer,
                MAX_PATH, 1);
  wchar_t filterBuffer[MAX_PATH];
  BuildFilter(options.fileType, options.suffix, filterBuffer);

  OPENFILENAMEW ofn;
  ZeroMemory(&ofn, sizeof ofn);
  ofn.lStructSize = sizeof ofn;  // 88 in the 32-bit build
  ofn.hwndOwner = OwnerWindow(options.owner);
  ofn.lpstrFilter = filterBuffer;
  ofn.lpstrFile = fileBuffer;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = nullptr;
  ofn.lpstrFileTitle = nullptr;
  ofn.lpstrDefExt = nullptr;
  ofn.Flags = kSaveFlags;

  DialogOutcome outcome;
  if (GetSaveFileNameW(&ofn)) {
    outcome.status = DialogStatus::kChosen;
    outcome.path = ToUtf8(fileBuffer);
    return outcome;
  }
  outcome.errorCode = CommDlgExtendedError();  // 0 for a plain cancel
  if (outcome.errorCode == FNERR_BUFFERTOOSMALL) {
    outcome.status = DialogStatus::kPathTooLong;
  } else if (outcome.errorCode != 0) {
    outcome.status = DialogStatus::kFailed;
    outcome.detail = "GetSaveFileNameW failed";
  }
  return outcome;
}

DialogOutcome Win32DialogBackend::ChooseFolder(const ChooseFolderDialogOptions& options) {
  ComApartment com;
  wchar_t displayName[MAX_PATH] = {0};
  const std::wstring title = ToWide(options.title);

  BROWSEINFOW info;
  ZeroMemory(&info, sizeof info);
  info.hwndOwner = OwnerWindow(options.owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.empty() ? nullptr : title.c_str();
  info.ulFlags = kBrowseFlags;
  if (!options.defaultPath.empty()) {
    CopyTruncated(ToWide(CutToUtf16Units(options.defaultPath, kDialogMaxPathUnits)),
                  g_defaultPathBuffer, MAX_PATH, 1);
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(g_defaultPathBuffer);
  }

  DialogOutcome outcome;
  PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info);
  if (items == nullptr) return outcome;  // cancelled
  wchar_t path[MAX_PATH] = {0};
  SHGetPathFromIDListW(items, path);
  CoTaskMemFree(items);
  outcome.status = DialogStatus::kChosen;
  outcome.path = ToUtf8(path);
  return outcome;
}

}  // namespace

DialogBackend& NativeDialogBackend() {
  // Never destroyed: the service thread may still be in a dialog while the process ends.
  static Win32DialogBackend* const backend = new Win32DialogBackend();
  return *backend;
}

bool DialogPathExists(const std::string& path) {
  return PathFileExistsW(ToWide(path).c_str()) != FALSE;
}

bool IsDialogPathWritable(const std::string& path) {
  HANDLE file = CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_EXISTING, kOpenFlags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace platform
