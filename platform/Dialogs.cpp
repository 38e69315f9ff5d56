// The parts of the dialog interface shared by every platform: the save
// dialog's filter rule and the choice between the native and a test backend.
#include "platform/Dialogs.h"

#include <atomic>

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

DialogOutcome ShowSaveFileDialog(const SaveFileDialogOptions& options) {
  return CurrentBackend().SaveFile(options);
}

DialogOutcome ShowChooseFolderDialog(const ChooseFolderDialogOptions& options) {
  return CurrentBackend().ChooseFolder(options);
}

void SetDialogBackendForTesting(DialogBackend* backend) { g_testBackend.store(backend); }

}  // namespace platform
