// The zenity backend: its argument vectors, and its child-process handling
// with a stand-in program whose proposed file name says how to behave.
#include <gtest/gtest.h>

#include <string>
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

TEST(ZenityArguments, SaveAndFolderDialogs) {
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

  platform::ChooseFolderDialogOptions folder;
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments(folder),
            (Args{"--file-selection", "--directory"}));
  folder = {9, "/home/u/报告", "Choose"};
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments(folder),
            (Args{"--file-selection", "--directory", "--title=Choose", "--filename=/home/u/报告/",
                  "--attach=9"}));
  folder.defaultPath = "/home/u/";
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments(folder)[3], "--filename=/home/u/");
  // The owner is passed on only when it can be an X window id.
  for (int64_t owner : {int64_t{0}, int64_t{-5}, int64_t{0x100000000}}) {
    EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments({owner, "", ""}).size(), 2u) << owner;
  }
  EXPECT_EQ(ZenityDialogBackend::ChooseFolderArguments({0xFFFFFFFF, "", ""}).back(),
            "--attach=4294967295");
}

TEST(ZenityRun, ExitStatusAndOutputGiveTheOutcome) {
  struct Case {
    std::string fileName;
    DialogStatus status;
    std::string path;
    const char* detailPart;
  };
  const std::string tricky = "/tmp/it's \"$(touch /tmp/x)\"; `id` | *.txt\\n 报告";
  const Case cases[] = {
      {"/home/u/报告.txt", DialogStatus::kChosen, "/home/u/报告.txt", ""},
      // No shell ever sees the text: it comes back byte for byte.
      {tricky, DialogStatus::kChosen, tricky, ""},
      {"cancel", DialogStatus::kCancelled, "", ""},
      {"empty", DialogStatus::kCancelled, "", ""},
      {"exit:5", DialogStatus::kFailed, "", "status 5 (fake zenity: failing on purpose)"},
      {"exit:255", DialogStatus::kFailed, "", "status 255"},
      {"nodisplay", DialogStatus::kFailed, "", "cannot open the display"},
      {"signal", DialogStatus::kFailed, "", "signal 9"},
      // 300 kB on stderr must not block the child before it prints the path.
      {"noisy:/home/u/a", DialogStatus::kChosen, "/home/u/a", ""},
      // A process left behind with the pipes open does not hold the dialog.
      {"lingering:/home/u/b", DialogStatus::kChosen, "/home/u/b", ""},
  };
  ZenityDialogBackend backend(IM_FAKE_ZENITY, /*checkDisplay=*/false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileName);
    DialogOutcome outcome = backend.SaveFile(SaveOptions(c.fileName));
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.path, c.path);
    EXPECT_NE(outcome.detail.find(c.detailPart), std::string::npos) << outcome.detail;
    const bool failed = c.status == DialogStatus::kFailed;
    EXPECT_EQ(outcome.errorCode, failed ? platform::kDialogErrUnavailable : 0u);
  }
}

TEST(ZenityEnvironment, CharacterTypeIsAlwaysUtf8) {
  struct Case {
    Args parent;
    Args child;
  };
  const Case cases[] = {
      {{}, {"LC_CTYPE=C.UTF-8"}},
      {{"LANG=C.UTF-8"}, {"LANG=C.UTF-8"}},
      {{"LANG=zh_CN.GB18030"}, {"LANG=zh_CN.GB18030", "LC_CTYPE=C.UTF-8"}},
      {{"LANG=C", "LC_CTYPE=en_US.UTF-8"}, {"LANG=C", "LC_CTYPE=en_US.UTF-8"}},
      {{"LC_CTYPE=POSIX", "LANG=C.UTF-8"}, {"LC_CTYPE=C.UTF-8", "LANG=C.UTF-8"}},
      // LC_ALL beats the others, so it is the one to fix.
      {{"LC_ALL=C", "LANG=C.UTF-8"}, {"LC_ALL=C.UTF-8", "LANG=C.UTF-8"}},
      {{"LC_ALL=", "LANG=C.UTF-8"}, {"LC_ALL=", "LANG=C.UTF-8"}},
      {{"LC_ALLX=C", "LANG=C"}, {"LC_ALLX=C", "LANG=C", "LC_CTYPE=C.UTF-8"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.parent));
    EXPECT_EQ(ZenityDialogBackend::ChildEnvironment(c.parent), c.child);
  }
}

TEST(ZenityRun, FolderChoiceAndLocaleOfTheChild) {
  ZenityDialogBackend backend(IM_FAKE_ZENITY, /*checkDisplay=*/false);
  DialogOutcome outcome = backend.ChooseFolder({0, "/srv/共享", ""});
  EXPECT_EQ(outcome.status, DialogStatus::kChosen);
  EXPECT_EQ(outcome.path, "/srv/共享/");  // the stand-in echoes --filename
  // The stand-in prints the character type it was given.
  outcome = backend.SaveFile(SaveOptions("locale"));
  ASSERT_EQ(outcome.status, DialogStatus::kChosen);
  EXPECT_TRUE(outcome.path.find("UTF-8") != std::string::npos ||
              outcome.path.find("utf8") != std::string::npos)
      << outcome.path;
}

TEST(ZenityRun, MissingProgramFailsWithAReason) {
  for (const char* program : {"/nonexistent/zenity", "no-such-dialog-program-xyz"}) {
    SCOPED_TRACE(program);
    ZenityDialogBackend backend(program, /*checkDisplay=*/false);
    DialogOutcome outcome = backend.SaveFile(SaveOptions("a"));
    EXPECT_EQ(outcome.status, DialogStatus::kFailed);
    EXPECT_EQ(outcome.errorCode, platform::kDialogErrUnavailable);
    EXPECT_NE(outcome.detail.find("not found"), std::string::npos) << outcome.detail;
  }
}

}  // namespace
