// Native modal dialogs that the adapter shows for the host: a save-file dialog
// and a folder chooser.
//
// ShowSaveFileDialog and ShowChooseFolderDialog run the installed backend: the
// native dialogs of this platform (the common dialogs and the shell folder
// browser on Windows, a zenity child process on POSIX) unless a test installed
// a fake with SetDialogBackendForTesting.
//
// Conventions:
// - Texts are UTF-8. The Windows backend converts them to UTF-16 for the wide
//   dialog interfaces and converts the chosen path back.
// - Both dialogs are modal: the call blocks the calling thread until the user
//   closes the dialog. The adapter calls them from its service thread only.
// - Nothing here logs or throws; an outcome carries what the caller logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Path buffers of the native dialogs: 260 UTF-16 units including the
// terminator, so a usable path holds at most 259 units.
constexpr size_t kDialogPathUnits = 260;
constexpr size_t kDialogMaxPathUnits = kDialogPathUnits - 1;

// Dialog error codes (the numbers of the Windows common-dialog errors).
// The chosen path did not fit the path buffer.
constexpr uint32_t kDialogErrBufferTooSmall = 0x3003;
// The dialog could not be shown at all (no dialog program, no display …).
constexpr uint32_t kDialogErrUnavailable = 0xFFFF;

struct SaveFileDialogOptions {
  int64_t owner = 0;     // owner window handle; 0 for none
  std::string fileName;  // proposed file name (may hold a folder)
  std::string fileType;  // "images" selects the picture filter
  std::string suffix;    // file extension, with or without a leading "."
};

struct ChooseFolderDialogOptions {
  int64_t owner = 0;        // owner window handle; 0 for none
  std::string defaultPath;  // folder selected when the dialog opens; "" for none
  std::string title;        // text shown in the dialog; "" for none
};

enum class DialogStatus {
  kChosen,       // the user chose a path: DialogOutcome::path
  kCancelled,    // the user closed the dialog without choosing
  kPathTooLong,  // the chosen path did not fit the path buffer
  kFailed,       // the dialog could not run: DialogOutcome::detail says why
};

struct DialogOutcome {
  DialogStatus status = DialogStatus::kCancelled;
  std::string path;        // the chosen path (kChosen only)
  uint32_t errorCode = 0;  // dialog error code; 0 for a choice or a plain cancel
  std::string detail;      // for kFailed: why the dialog could not run
};

// The one filter of the save dialog. fileType exactly "images": description
// "images (*.jpg;*.png;*.gif)" and the three picture patterns, whatever the
// suffix. Otherwise ext = suffix with "." put in front when it does not start
// with one, description "Files (*" + ext + ")" and the one pattern "*" + ext.
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;
};
FileFilter SaveFileFilter(const std::string& fileType, const std::string& suffix);

// The number of UTF-16 units that the UTF-8 text takes (a character beyond
// U+FFFF takes two). Counts lead bytes, so a stray continuation byte adds
// nothing and a cut-short sequence counts as one character.
size_t Utf16Units(const std::string& utf8);
// The longest start of a UTF-8 text that fits maxUnits UTF-16 units without
// splitting a character: a pair of surrogates is kept whole or dropped whole.
// (The native path buffers hold kDialogMaxPathUnits units.)
std::string CutToUtf16Units(const std::string& utf8, size_t maxUnits);

// A source of the two dialogs. Implementations block until the dialog closes.
class DialogBackend {
 public:
  virtual ~DialogBackend() = default;
  virtual DialogOutcome SaveFile(const SaveFileDialogOptions& options) = 0;
  virtual DialogOutcome ChooseFolder(const ChooseFolderDialogOptions& options) = 0;
};

// This platform's native dialogs (one process-wide instance).
DialogBackend& NativeDialogBackend();

// Shows the save-file dialog / the folder chooser through the installed backend.
DialogOutcome ShowSaveFileDialog(const SaveFileDialogOptions& options);
DialogOutcome ShowChooseFolderDialog(const ChooseFolderDialogOptions& options);

// True when a chosen path exists (file or folder).
bool DialogPathExists(const std::string& path);
// True when the process can open a chosen path for reading and writing; a
// folder counts. False for "" and for a path that does not exist.
bool IsDialogPathWritable(const std::string& path);

// Test hook, not reachable through the library's exports: installs `backend`
// (not owned; it must outlive its use) in place of the native dialogs, or
// restores the native dialogs when backend is nullptr. Call it while no
// dialog is open.
void SetDialogBackendForTesting(DialogBackend* backend);

}  // namespace platform
