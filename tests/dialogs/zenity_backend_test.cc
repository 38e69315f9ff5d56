// The zenity backend: its argument vectors, and its child-process handling
// with a stand-in program whose proposed file name says how to behave.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/posix/DialogsPosix.h"

namespace {

using platform::DialogOutcome;
using platform::DialogStatus;
using platform::ZenityDialogBackend;
using Args = std::vector<std::string>;

platform::SaveFileDialogOptions SaveOptions(const std::string& fileName) {
  platform::SaveFileDialogOptions options;
  options.fileName = fileName;
  options.suffix = "txt";
  return options;
}

TEST(ZenityArguments, SaveAndFolderDialogsAndAUtf8Environment) {
  platform::SaveFileDialogOptions save = SaveOptions("报告.txt");
  EXPECT_EQ(ZenityDialogBackend::SaveFileArguments(save),
            (Args{"--file-selection", "--save", "--confirm-overwrite", "--filename=报告.txt",
                  "--file-filter=Files (*.txt) | *.txt"}));
  save.fileType = "images";
  save.owner = 0x2a00007;
  EXPECT_EQ(
      ZenityDialogBackend::SaveFileArguments(save),
      (Args{"--file-selection", "--save", "--confirm-overwrite", "--filename=报告.txt",
            "--file-filter=images (*.jpg;*.png;*.gif) | *.jpg *.png *.gif", "--attach=44040199"}));

  platform::ChooseFolderDialogOptions folder = {9, "/home/u/报告", "Choose"};
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments(folder),
            (Args{"--file-selection", "--directory", "--title=Choose", "--filename=/home/u/报告/",
                  "--attach=9"}));
  folder.defaultPath = "/home/u/";
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments(folder)[3], "--filename=/home/u/");
  // The owner is passed on only when it can be an X window id.
  for (int64_t owner : {int64_t{0}, int64_t{-5}, int64_t{0x100000000}}) {
    EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments({owner, "", ""}),
              (Args{"--file-selection", "--directory"}))
        << owner;
  }
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments({0xFFFFFFFF, "", ""}).back(),
            "--attach=4294967295");
  // The character type of the child is always UTF-8.
  const std::pair<Args, Args> cases[] = {
      // the parent's environment, the child's
      {{}, {"LC_CTYPE=C.UTF-8"}},
      {{"LANG=C.UTF-8"}, {"LANG=C.UTF-8"}},
      {{"LANG=zh_CN.GB18030"}, {"LANG=zh_CN.GB18030", "LC_CTYPE=C.UTF-8"}},
      {{"LC_CTYPE=POSIX", "LANG=C.UTF-8"}, {"LC_CTYPE=C.UTF-8", "LANG=C.UTF-8"}},
      // LC_ALL beats the others, so it is the one to fix.
      {{"LC_ALL=C", "LANG=C.UTF-8"}, {"LC_ALL=C.UTF-8", "LANG=C.UTF-8"}},
      {{"LC_ALLX=C", "LANG=C"}, {"LC_ALLX=C", "LANG=C", "LC_CTYPE=C.UTF-8"}},
  };
  for (const auto& [parent, child] : cases) {
    EXPECT_EQ(ZenityDialogBackend::ChildEnvironment(parent), child)
        << ::testing::PrintToString(parent);
  }
}

TEST(ZenityRun, ExitStatusOutputOrAMissingProgramGiveTheOutcomeEvenWhenChildrenAreIgnored) {
  const std::string tricky = "/tmp/it's \"$(touch /tmp/x)\"; `id` | *.txt\\n 报告";
  const struct {
    std::string fileName;
    DialogStatus status;
    std::string path;
    const char* detailPart;
    bool toldByStatusOnly;  // a failure only the exit status tells
  } cases[] = {
      // No shell ever sees the text: it comes back byte for byte, UTF-8 too.
      {tricky, DialogStatus::kChosen, tricky, "", false},
      {"cancel", DialogStatus::kCancelled, "", "", false},
      {"empty", DialogStatus::kCancelled, "", "", false},
      {"exit:5", DialogStatus::kFailed, "", "status 5 (fake zenity: failing on purpose)", true},
      {"nodisplay", DialogStatus::kFailed, "", "cannot open the display", false},
      {"signal", DialogStatus::kFailed, "", "signal 9", true},
      // 300 kB on stderr must not block the child before it prints the path.
      {"noisy:/home/u/a", DialogStatus::kChosen, "/home/u/a", "", false},
      // A process left behind with the pipes open does not hold the dialog.
      {"lingering:/home/u/b", DialogStatus::kChosen, "/home/u/b", "", false},
  };
  ZenityDialogBackend backend(IM_FAKE_ZENITY, /*checkDisplay=*/false);
  // A host that ignores SIGCHLD has the system reap the dialog's process: its
  // exit status is gone, but the chosen path must still come back.
  for (auto disposition : {SIG_DFL, SIG_IGN}) {
    const auto previous = std::signal(SIGCHLD, disposition);
    for (const auto& c : cases) {
      if (disposition == SIG_IGN && c.toldByStatusOnly) continue;
      SCOPED_TRACE(c.fileName + (disposition == SIG_IGN ? " (SIGCHLD ignored)" : ""));
      DialogOutcome outcome = backend.SaveFile(SaveOptions(c.fileName));
      EXPECT_EQ(outcome.status, c.status);
      EXPECT_EQ(outcome.path, c.path);
      EXPECT_NE(outcome.detail.find(c.detailPart), std::string::npos) << outcome.detail;
      const bool failed = c.status == DialogStatus::kFailed;
      EXPECT_EQ(outcome.errorCode, failed ? platform::kDialogErrUnavailable : 0u);
    }
    EXPECT_EQ(backend.ChooseFolder({0, "/srv/共享", ""}).path, "/srv/共享/");  // echoes --filename
    // The stand-in prints the character type it was given.
    const std::string locale = backend.SaveFile(SaveOptions("locale")).path;
    EXPECT_TRUE(locale.find("UTF-8") != std::string::npos ||
                locale.find("utf8") != std::string::npos)
        << locale;
    std::signal(SIGCHLD, previous);
  }
  for (const char* program : {"/nonexistent/zenity", "no-such-dialog-program-xyz"}) {
    DialogOutcome outcome = ZenityDialogBackend(program, false).SaveFile(SaveOptions("a"));
    EXPECT_EQ(outcome.status, DialogStatus::kFailed) << program;
    EXPECT_EQ(outcome.errorCode, platform::kDialogErrUnavailable) << program;
    EXPECT_NE(outcome.detail.find("not found"), std::string::npos) << outcome.detail;
  }
}

}  // namespace
