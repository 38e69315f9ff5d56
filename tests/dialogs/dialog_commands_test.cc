// Commands 6 and 7 driven through the command processor, with a fake dialog
// backend that records what it was asked and answers as scripted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapter/src/ImAdapterCmd.h"
#include "adapter/src/JsonText.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

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

DialogOutcome Chosen(const std::string& path) {
  DialogOutcome outcome;
  outcome.status = DialogStatus::kChosen;
  outcome.path = path;
  return outcome;
}

DialogOutcome Ended(DialogStatus status, uint32_t errorCode) {
  DialogOutcome outcome;
  outcome.status = status;
  outcome.errorCode = errorCode;
  outcome.detail = "scripted";
  return outcome;
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// The JSON text of a request for command 6 or 7 with the given "param" text.
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

  // Runs one request and returns the reply's text ("" when none came).
  std::string RunForText(const std::string& request) {
    ImAdapterCmd::Instance().ProcessRecvMsg(request.c_str());
    char* text = Queues().TakeOutboundFor(std::chrono::seconds(5));
    if (text == nullptr) return std::string();
    std::string copy(text);
    std::free(text);
    return copy;
  }

  Json::Value Run(const std::string& request) {
    Json::Value reply;
    EXPECT_EQ(ParseJsonText(RunForText(request), reply), 0);
    return reply;
  }

  // Command 6 with suffix and the fake choosing `chosen`; the reply's filePath.
  std::string SavedPath(const std::string& suffix, const std::string& chosen) {
    fake_.answer = Chosen(chosen);
    Json::Value reply = Run(Request(6, "{\"fileName\":\"report\",\"suffix\":\"" + suffix + "\"}"));
    return reply["param"]["filePath"].asString();
  }

  FakeDialogs fake_;
};

// ---- command 6 ---------------------------------------------------------------

TEST_F(DialogCommandTest, SuffixIsAppendedOnlyToAPathWithoutAnyDot) {
  struct Case {
    const char* suffix;
    const char* chosen;
    const char* expected;
  };
  const Case cases[] = {
      {"txt", "/home/u/report", "/home/u/report.txt"},
      {"txt", "C:\\a.b\\report", "C:\\a.b\\report"},  // a dot in a folder counts
      {"txt", "/home/a.b/report", "/home/a.b/report"},
      {"txt", "/home/u/report.pdf", "/home/u/report.pdf"},
      {".txt", "/home/u/report", "/home/u/report..txt"},  // "." + ".txt"
      {"", "/home/u/report", "/home/u/report"},
      {"txt", "/home/u/报告", "/home/u/报告.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.suffix) + " / " + c.chosen);
    EXPECT_EQ(SavedPath(c.suffix, c.chosen), c.expected);
  }
}

TEST_F(DialogCommandTest, ChosenPathRepliesResultZeroInTheEnvelope) {
  fake_.answer = Chosen("/home/u/报告.txt");
  const std::string text =
      RunForText("{\"cmd\":6,\"sno\":12,\"param\":{\"fileName\":\"报告.txt\",\"suffix\":\"txt\"}}");
  // Chinese characters reach the host as UTF-8, not as \u escapes.
  EXPECT_NE(text.find("/home/u/报告.txt"), std::string::npos) << text;
  Json::Value reply;
  ASSERT_EQ(ParseJsonText(text, reply), 0);
  EXPECT_EQ(reply["description"].asString(), "OpenSaveFileDialog");
  EXPECT_EQ(reply["rsp"].asUInt(), 6u);
  EXPECT_EQ(reply["sno"].asUInt(), 12u);
  EXPECT_EQ(reply["result"].asInt(), 0);
  EXPECT_EQ(reply["param"]["filePath"].asString(), "/home/u/报告.txt");
  EXPECT_FALSE(reply["param"]["isExceed"].asBool());
  EXPECT_EQ(reply["param"].size(), 2u);
}

TEST_F(DialogCommandTest, DialogReceivesTheRequestFields) {
  fake_.answer = Ended(DialogStatus::kCancelled, 0);
  Run(Request(6,
              "{\"fileName\":\"报告.txt\",\"handle\":4242,\"fileType\":\"images\","
              "\"suffix\":\"png\"}"));
  // Fields of the wrong type are ignored: no owner, no type, no suffix.
  Run(Request(6, "{\"fileName\":\"a\",\"handle\":\"4242\",\"fileType\":7,\"suffix\":[\"x\"]}"));
  Run(Request(6, "{\"fileName\":\"a\",\"handle\":2.5}"));
  ASSERT_EQ(fake_.saveCalls.size(), 3u);
  EXPECT_EQ(fake_.saveCalls[0].fileName, "报告.txt");
  EXPECT_EQ(fake_.saveCalls[0].owner, 4242);
  EXPECT_EQ(fake_.saveCalls[0].fileType, "images");
  EXPECT_EQ(fake_.saveCalls[0].suffix, "png");
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(fake_.saveCalls[i].owner, 0);
    EXPECT_EQ(fake_.saveCalls[i].fileType, "");
    EXPECT_EQ(fake_.saveCalls[i].suffix, "");
  }
}

TEST_F(DialogCommandTest, DialogWithoutAPathGivesTheCancelPayload) {
  struct Case {
    const char* name;
    DialogOutcome answer;
    bool isExceed;
  };
  const Case cases[] = {
      {"cancel", Ended(DialogStatus::kCancelled, 0), false},
      {"no dialog program", Ended(DialogStatus::kFailed, platform::kDialogErrUnavailable), false},
      {"buffer too small", Ended(DialogStatus::kPathTooLong, platform::kDialogErrBufferTooSmall),
       true},
      {"300-unit path", Chosen("/" + std::string(299, 'a')), true},
      // 130 characters beyond U+FFFF: 520 bytes, 260 units.
      {"260 units of surrogate pairs", Chosen(Repeat("\xF0\x9F\x98\x80", 130)), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.answer = c.answer;
    Json::Value reply = Run(Request(6, "{\"fileName\":\"report\",\"suffix\":\"txt\"}"));
    EXPECT_EQ(reply["result"].asInt(), 0);
    EXPECT_EQ(reply["param"]["filePath"], Json::Value(""));  // no suffix on an empty path
    EXPECT_EQ(reply["param"]["isExceed"], Json::Value(c.isExceed));
  }
}

TEST_F(DialogCommandTest, PathOfExactly259UnitsFits) {
  // 259 units: "/" and 258 Chinese characters (774 bytes, but one unit each).
  const std::string path = "/" + Repeat("报", 258);
  fake_.answer = Chosen(path);
  Json::Value reply = Run(Request(6, "{\"fileName\":\"report\"}"));
  EXPECT_EQ(reply["param"]["filePath"].asString(), path);
  EXPECT_FALSE(reply["param"]["isExceed"].asBool());
}

TEST_F(DialogCommandTest, BadSaveRequestsFailWithoutOpeningADialog) {
  struct Case {
    const char* param;
    const char* reason;
  };
  const Case cases[] = {
      {nullptr, "param is not correct!"},
      {"[1,2]", "param is not correct!"},
      {"\"fileName\"", "param is not correct!"},
      {"null", "param is not correct!"},
      {"{}", "fileName is empty!"},
      {"{\"fileName\":\"\"}", "fileName is empty!"},
      {"{\"fileName\":12}", "fileName is empty!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.param ? c.param : "(no param)");
    const std::string request = c.param ? Request(6, c.param) : "{\"cmd\":6,\"sno\":41}";
    Json::Value reply = Run(request);
    EXPECT_EQ(reply["result"].asInt(), -1);
    EXPECT_EQ(reply["rsp"].asUInt(), 6u);
    EXPECT_EQ(reply["param"]["reason"].asString(), c.reason);
  }
  EXPECT_TRUE(fake_.saveCalls.empty());
}

// ---- command 7 ---------------------------------------------------------------

TEST_F(DialogCommandTest, ChooseFolderPayloadFollowsTheChoice) {
  const std::string existing = testing::TempDir() + "dialogs_test_chosen_folder";
  ASSERT_TRUE(platform::MakeDirectories(existing));
  const std::string missing = testing::TempDir() + "dialogs_test_no_such_folder/inner";
  std::string tooLong = existing + "/" + std::string(300, 'f');
  struct Case {
    const char* name;
    DialogOutcome answer;
    std::string savePath;
    bool isWritable;
    int errorCode;
  };
  const Case cases[] = {
      {"existing writable folder", Chosen(existing), existing, true, -1},
      {"missing folder", Chosen(missing), missing, false, 1},
      {"path too long", Chosen(tooLong), "", false, 1},
      {"cancel", Ended(DialogStatus::kCancelled, 0), "", false, 0},
      {"no dialog program", Ended(DialogStatus::kFailed, platform::kDialogErrUnavailable), "",
       false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.answer = c.answer;
    Json::Value reply = Run(Request(7, "{\"defaultPath\":\"/tmp\",\"title\":\"t\"}"));
    EXPECT_EQ(reply["description"].asString(), "OpenChoosePathDialog");
    EXPECT_EQ(reply["result"].asInt(), 0);
    const Json::Value& payload = reply["param"];
    EXPECT_EQ(payload["savePath"], Json::Value(c.savePath));
    EXPECT_EQ(payload["isWritable"], Json::Value(c.isWritable));
    EXPECT_EQ(payload["errorCode"], Json::Value(c.errorCode));
    EXPECT_EQ(payload.size(), 3u);
  }
}

TEST_F(DialogCommandTest, FolderDialogReceivesTheRequestFields) {
  fake_.answer = Ended(DialogStatus::kCancelled, 0);
  Run(Request(7, "{\"defaultPath\":\"/home/u/报告\",\"title\":\"选择文件夹\",\"handle\":77}"));
  Run(Request(7, "{\"defaultPath\":5,\"title\":null,\"handle\":\"77\"}"));
  ASSERT_EQ(fake_.folderCalls.size(), 2u);
  EXPECT_EQ(fake_.folderCalls[0].defaultPath, "/home/u/报告");
  EXPECT_EQ(fake_.folderCalls[0].title, "选择文件夹");
  EXPECT_EQ(fake_.folderCalls[0].owner, 77);
  EXPECT_EQ(fake_.folderCalls[1].defaultPath, "");
  EXPECT_EQ(fake_.folderCalls[1].title, "");
  EXPECT_EQ(fake_.folderCalls[1].owner, 0);
}

TEST_F(DialogCommandTest, BadFolderRequestFailsWithoutOpeningADialog) {
  for (const char* param : {"[]", "\"x\"", "3"}) {
    SCOPED_TRACE(param);
    Json::Value reply = Run(Request(7, param));
    EXPECT_EQ(reply["result"].asInt(), -1);
    EXPECT_EQ(reply["rsp"].asUInt(), 7u);
    EXPECT_EQ(reply["param"]["reason"].asString(), "param is not correct!");
  }
  EXPECT_TRUE(fake_.folderCalls.empty());
}

}  // namespace
