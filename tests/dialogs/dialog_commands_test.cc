// Commands 6 and 7 driven through the command processor, with a fake dialog
// backend that records what it was asked and answers as scripted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"

namespace {

using platform::DialogOutcome;
using platform::DialogStatus;

class FakeDialogs : public platform::DialogBackend {
 public:
  DialogOutcome SaveFile(const platform::SaveFileDialogOptions& options) override {
    saveCalls.push_back(options);
    return answer;
  }
  DialogOutcome ChooseFolder(const platform::ChooseFolderDialogOptions& options) override {
    folderCalls.push_back(options);
    return answer;
  }

  DialogOutcome answer;
  std::vector<platform::SaveFileDialogOptions> saveCalls;
  std::vector<platform::ChooseFolderDialogOptions> folderCalls;
};

DialogOutcome Chosen(const std::string& path) { return {DialogStatus::kChosen, path, 0, ""}; }
DialogOutcome Ended(DialogStatus status, uint32_t code) { return {status, "", code, "scripted"}; }

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string Request(int cmd, const std::string& param) {
  return "{\"cmd\":" + std::to_string(cmd) + ",\"sno\":41,\"param\":" + param + "}";
}

class DialogCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    while (char* stale = Queues().TakeOutboundFor(std::chrono::milliseconds(0))) std::free(stale);
    platform::SetDialogBackendForTesting(&fake_);
  }
  void TearDown() override { platform::SetDialogBackendForTesting(nullptr); }

  static util::MessageQueuePair& Queues() { return ImAdapterCmd::Instance().Queues(); }

  // Runs one request and returns its reply (null when none came).
  Json::Value Run(const std::string& request) {
    ImAdapterCmd::Instance().ProcessRecvMsg(request.c_str());
    const std::unique_ptr<char, decltype(&std::free)> text(
        Queues().TakeOutboundFor(std::chrono::seconds(5)), &std::free);
    Json::Value reply;
    EXPECT_EQ(ParseJsonText(text.get(), reply), 0);
    return reply;
  }

  FakeDialogs fake_;
};

Json::Value SavePayload(const std::string& filePath, bool isExceed) {
  Json::Value payload;
  payload["filePath"] = filePath;
  payload["isExceed"] = isExceed;
  return payload;
}

Json::Value FolderPayload(const std::string& savePath, bool isWritable, int errorCode) {
  Json::Value payload;
  payload["savePath"] = savePath;
  payload["isWritable"] = isWritable;
  payload["errorCode"] = errorCode;
  return payload;
}

TEST_F(DialogCommandTest, ReplyFollowsTheChoiceAndTheSuffixRule) {
  const testfiles::ScratchDir scratch;
  const std::string existing = scratch.path();
  const std::string missing = testing::TempDir() + "dialogs_test_no_such_folder/inner";
  const std::string chinese259 = "/" + Repeat("报", 258);  // 774 bytes, 259 units
  const DialogOutcome cancel = Ended(DialogStatus::kCancelled, 0);
  const DialogOutcome noProgram = Ended(DialogStatus::kFailed, platform::kDialogErrUnavailable);
  struct Case {
    const char* name;
    int cmd;
    const char* suffix;
    DialogOutcome answer;
    Json::Value payload;
  };
  const Case cases[] = {
      {"no dot anywhere", 6, "txt", Chosen("/home/u/report"), SavePayload("/home/u/report.txt", 0)},
      {"dot in a folder", 6, "txt", Chosen("C:\\a.b\\report"), SavePayload("C:\\a.b\\report", 0)},
      {"own extension", 6, "txt", Chosen("/u/report.pdf"), SavePayload("/u/report.pdf", 0)},
      {"dotted suffix", 6, ".txt", Chosen("/u/report"), SavePayload("/u/report..txt", 0)},
      {"no suffix", 6, "", Chosen("/u/report"), SavePayload("/u/report", 0)},
      {"Chinese name", 6, "txt", Chosen("/u/报告"), SavePayload("/u/报告.txt", 0)},
      {"259 units fit", 6, "", Chosen(chinese259), SavePayload(chinese259, 0)},
      {"300-unit path", 6, "txt", Chosen("/" + std::string(299, 'a')), SavePayload("", 1)},
      // 130 characters beyond U+FFFF: 520 bytes, 260 units.
      {"260 units of pairs", 6, "txt", Chosen(Repeat("\xF0\x9F\x98\x80", 130)), SavePayload("", 1)},
      {"save cancelled", 6, "txt", cancel, SavePayload("", 0)},
      {"no save program", 6, "txt", noProgram, SavePayload("", 0)},
      {"buffer too small", 6, "txt",
       Ended(DialogStatus::kPathTooLong, platform::kDialogErrBufferTooSmall), SavePayload("", 1)},
      {"existing writable folder", 7, "", Chosen(existing), FolderPayload(existing, true, -1)},
      {"missing folder", 7, "", Chosen(missing), FolderPayload(missing, false, 1)},
      {"folder path too long", 7, "", Chosen(existing + "/" + std::string(300, 'f')),
       FolderPayload("", false, 1)},
      {"folder cancelled", 7, "", cancel, FolderPayload("", false, 0)},
      {"no folder program", 7, "", noProgram, FolderPayload("", false, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.answer = c.answer;
    // (Chinese characters reach the host as UTF-8: every reply is written by
    // StyledJsonText, whose test covers that.)
    const Json::Value reply = Run(
        c.cmd == 6 ? Request(6, std::string(R"({"fileName":"报告","suffix":")") + c.suffix + "\"}")
                   : Request(7, R"({"defaultPath":"/tmp","title":"t"})"));
    EXPECT_EQ(
        reply["description"].asString() + " " + reply["rsp"].asString() + " " +
            reply["sno"].asString() + " " + reply["result"].asString(),
        std::string(c.cmd == 6 ? "OpenSaveFileDialog 6" : "OpenChoosePathDialog 7") + " 41 0");
    EXPECT_EQ(reply["param"], c.payload);
  }
}

// What each dialog is given: "save:fileName|fileType|suffix|owner" or
// "folder:defaultPath|title|owner". Fields of the wrong type are ignored. The
// owner handle keeps the 64 bits of every integer form, signed or unsigned;
// non-integers give no owner. Both commands read the handle alike, so the
// handle forms alternate between them.
TEST_F(DialogCommandTest, DialogsReceiveTheRequestFieldsOfTheRightType) {
  const struct {
    int cmd;
    const char* param;
    const char* given;
  } cases[] = {
      {6, R"({"fileName":"报告.txt","fileType":"images","suffix":"png"})",
       "save:报告.txt|images|png|0"},
      {6, R"({"fileName":"a","fileType":7,"suffix":["x"]})", "save:a|||0"},
      {7, R"({"defaultPath":"/home/u/报告","title":"选择文件夹"})",
       "folder:/home/u/报告|选择文件夹|0"},
      {7, R"({"defaultPath":5,"title":null})", "folder:||0"},
      {6, R"({"fileName":"a","handle":120})", "save:a|||120"},
      // A 32-bit handle with the top bit set, unsigned; then the same handle
      // signed, and sign-extended as an unsigned 64-bit number.
      {7, R"({"handle":4294967295})", "folder:||4294967295"},
      {6, R"({"fileName":"a","handle":-2147483648})", "save:a|||-2147483648"},
      {7, R"({"handle":18446744071562067968})", "folder:||-2147483648"},
      {6, R"({"fileName":"a","handle":18446744073709551615})", "save:a|||-1"},
      {7, R"({"handle":18446744073709551616})", "folder:||0"},  // beyond 64 bits
      {6, R"({"fileName":"a","handle":2.5})", "save:a|||0"},
      {7, R"({"handle":"120"})", "folder:||0"},
  };
  fake_.answer = Ended(DialogStatus::kCancelled, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.param);
    fake_.saveCalls.clear();
    fake_.folderCalls.clear();
    Run(Request(c.cmd, c.param));
    std::string given;
    for (const auto& o : fake_.saveCalls) {
      given +=
          "save:" + o.fileName + "|" + o.fileType + "|" + o.suffix + "|" + std::to_string(o.owner);
    }
    for (const auto& o : fake_.folderCalls) {
      given += "folder:" + o.defaultPath + "|" + o.title + "|" + std::to_string(o.owner);
    }
    EXPECT_EQ(given, c.given);
  }
}

TEST_F(DialogCommandTest, BadRequestsFailWithoutOpeningADialog) {
  const struct {
    int cmd;
    const char* param;  // nullptr: no "param" at all
    const char* reason;
  } cases[] = {
      {6, nullptr, "param is not correct!"},
      {6, "[1,2]", "param is not correct!"},
      {6, "{}", "fileName is empty!"},
      {6, R"({"fileName":""})", "fileName is empty!"},
      {6, R"({"fileName":12})", "fileName is empty!"},
      {7, "[]", "param is not correct!"},
      {7, "3", "param is not correct!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.cmd) + " " + (c.param ? c.param : "(no param)"));
    const std::string request =
        c.param ? Request(c.cmd, c.param) : "{\"cmd\":" + std::to_string(c.cmd) + ",\"sno\":41}";
    Json::Value reply = Run(request);
    EXPECT_EQ(reply["result"].asInt(), -1);
    EXPECT_EQ(reply["rsp"].asInt(), c.cmd);
    EXPECT_EQ(reply["param"]["reason"].asString(), c.reason);
  }
  EXPECT_TRUE(fake_.saveCalls.empty());
  EXPECT_TRUE(fake_.folderCalls.empty());
}

}  // namespace
