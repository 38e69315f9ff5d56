// The POSIX dialogs: zenity run as a child process, without a shell.
//
// Each dialog is one zenity run: its argument vector is built from the
// options (no host text ever reaches a shell), its standard output holds the
// chosen path, and its exit status tells a choice (0) from a cancel (1).
// A dialog that cannot run (zenity missing, no display, zenity failing) gives
// DialogStatus::kFailed with a detail text and kDialogErrUnavailable.
#pragma once

#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace platform {

class ZenityDialogBackend : public DialogBackend {
 public:
  // program: a path, or a bare name looked up in PATH. checkDisplay: refuse to
  // run when neither DISPLAY nor WAYLAND_DISPLAY is set (off only for tests
  // that run a stand-in program).
  explicit ZenityDialogBackend(std::string program = "zenity", bool checkDisplay = true);

  DialogOutcome SaveFile(const SaveFileDialogOptions& options) override;
  DialogOutcome ChooseFolder(const ChooseFolderDialogOptions& options) override;

  // The arguments (after the program name) of each dialog.
  static std::vector<std::string> SaveFileArguments(const SaveFileDialogOptions& options);
  static std::vector<std::string> ChooseFolderArguments(const ChooseFolderDialogOptions& options);

  // The dialog program's environment ("NAME=value" entries): the parent's,
  // with a UTF-8 character type when the parent's locale has none (LC_ALL,
  // else LC_CTYPE, else LANG decides), so that the chosen path comes back in
  // UTF-8 whatever the host's locale; in another charset zenity replaces the
  // characters it cannot write.
  static std::vector<std::string> ChildEnvironment(const std::vector<std::string>& parent);

 private:
  DialogOutcome Run(const std::vector<std::string>& arguments) const;

  std::string program_;
  bool checkDisplay_;
};

}  // namespace platform
