// The parts of the dialog interface shared by every platform: the save
// dialog's filter rule and the choice between the native and a test backend.
#include "platform/Dialogs.h"

#include <atomic>
#include <cstdint>

namespace platform {
namespace {

const char kImagesType[] = "images";
const char kImagesDescription[] = "images (*.jpg;*.png;*.gif)";

std::atomic<DialogBackend*> g_testBackend{nullptr};

DialogBackend& CurrentBackend() {
  DialogBackend* fake = g_testBackend.load();
  return fake != nullptr ? *fake : NativeDialogBackend();
}

}  // namespace

FileFilter SaveFileFilter(const std::string& fileType, const std::string& suffix) {
  FileFilter filter;
  if (fileType == kImagesType) {
    filter.description = kImagesDescription;
    filter.patterns = {"*.jpg", "*.png", "*.gif"};
    return filter;
  }
  const std::string ext = (!suffix.empty() && suffix[0] == '.') ? suffix : "." + suffix;
  filter.description = "Files (*" + ext + ")";
  filter.patterns = {"*" + ext};
  return filter;
}

namespace {

// Walks the characters of a UTF-8 text: each starts at a byte that is not a
// continuation byte and takes the continuation bytes after it; one beyond
// U+FFFF (a four-byte lead) takes two UTF-16 units. A stray continuation byte
// at the start counts as nothing. Stops before the character that would make
// the units exceed maxUnits; returns the bytes walked, *units the units.
size_t WalkUtf16Units(const std::string& utf8, size_t maxUnits, size_t* units) {
  size_t at = 0;
  *units = 0;
  while (at < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    size_t next = at + 1;
    while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80) ++next;
    const size_t width = (lead & 0xC0) == 0x80 ? 0 : lead >= 0xF0 ? 2 : 1;
    if (*units + width > maxUnits) break;
    *units += width;
    at = next;
  }
  return at;
}

}  // namespace

size_t Utf16Units(const std::string& utf8) {
  size_t units = 0;
  WalkUtf16Units(utf8, SIZE_MAX, &units);
  return units;
}

std::string CutToUtf16Units(const std::string& utf8, size_t maxUnits) {
  size_t units = 0;
  return utf8.substr(0, WalkUtf16Units(utf8, maxUnits, &units));
}

DialogOutcome ShowSaveFileDialog(const SaveFileDialogOptions& options) {
  return CurrentBackend().SaveFile(options);
}

DialogOutcome ShowChooseFolderDialog(const ChooseFolderDialogOptions& options) {
  return CurrentBackend().ChooseFolder(options);
}

void SetDialogBackendForTesting(DialogBackend* backend) { g_testBackend.store(backend); }

}  // namespace platform
