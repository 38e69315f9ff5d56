// The command dispatcher and the reply envelopes, driven in-process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "adapter/src/ImAdapterCmd.h"
#include "adapter/src/JsonText.h"

namespace {

using std::chrono::milliseconds;

// The next outbound text, or "" when none arrives in time.
std::string Pull(milliseconds wait = milliseconds(2000)) {
  char* text = ImAdapterCmd::Instance().Queues().TakeOutboundFor(wait);
  if (text == nullptr) return std::string();
  std::string copy(text);
  std::free(text);
  return copy;
}

Json::Value PullJson() {
  Json::Value v;
  EXPECT_EQ(ParseJsonText(Pull(), v), 0);
  return v;
}

void Process(const std::string& request) { ImAdapterCmd::Instance().ProcessRecvMsg(request.c_str()); }

const char kLimitParam[] =
    "\"param\":{\"currentTimestamp\":\"1000\",\"msgList\":[{\"groupId\":\"g-disp\","
    "\"flowLimitCount\":-1}]}";

TEST(Dispatcher, ReplyEchoesDescriptionCmdAndSno) {
  Process(std::string("{\"cmd\":3,\"sno\":12,\"description\":\"x\",") + kLimitParam + "}");
  Json::Value reply = PullJson();
  EXPECT_EQ(reply["description"].asString(), "x");
  EXPECT_EQ(reply["rsp"].asUInt(), 3u);
  EXPECT_EQ(reply["sno"].asUInt(), 12u);
  EXPECT_EQ(reply["result"].asInt(), 0);
  EXPECT_EQ(reply.getMemberNames(),
            (std::vector<std::string>{"description", "param", "result", "rsp", "sno"}));
}

TEST(Dispatcher, SnoIsEchoedOnlyWhenItIsAnUnsigned32BitInteger) {
  const char* snos[] = {"-5", "1.5", "\"12\"", "4294967296", "null", "[1]"};
  for (const char* sno : snos) {
    Process(std::string("{\"cmd\":3,\"sno\":") + sno + "," + kLimitParam + "}");
    Json::Value reply = PullJson();
    EXPECT_FALSE(reply.isMember("sno")) << sno;
  }
  Process(std::string("{\"cmd\":3,") + kLimitParam + "}");
  EXPECT_FALSE(PullJson().isMember("sno"));
  Process(std::string("{\"cmd\":3,\"sno\":4294967295,") + kLimitParam + "}");
  EXPECT_EQ(PullJson()["sno"].asUInt(), 4294967295u);
}

TEST(Dispatcher, DefaultDescriptionWhenTheRequestHasNoTextOne) {
  Process(std::string("{\"cmd\":3,\"description\":7,") + kLimitParam + "}");
  EXPECT_EQ(PullJson()["description"].asString(), "CheckIsExceedSendingLimit");
}

TEST(Dispatcher, CommandNumberIsCutTo16BitsButEchoedWhole) {
  Process(std::string("{\"cmd\":65539,") + kLimitParam + "}");
  Json::Value reply = PullJson();
  EXPECT_EQ(reply["rsp"].asUInt(), 65539u);
  EXPECT_EQ(reply["description"].asString(), "CheckIsExceedSendingLimit");
  Process(std::string("{\"cmd\":3.7,") + kLimitParam + "}");  // a fraction is cut
  EXPECT_EQ(PullJson()["rsp"].asUInt(), 3u);
}

TEST(Dispatcher, RequestsThatNameNoCommandGetNoReply) {
  const char* requests[] = {
      "",  "not json", "12", "\"text\"", "[3]", "{}", "{\"cmd\":0}", "{\"cmd\":8}",
      "{\"cmd\":65536}", "{\"cmd\":65544}", "{\"cmd\":\"3\"}", "{\"cmd\":[3]}",
      "{\"cmd\":{\"a\":3}}", "{\"cmd\":-3}", "{\"cmd\":null}", "{\"cmd\":1e30}",
  };
  for (const char* request : requests) Process(request);
  ImAdapterCmd::Instance().ProcessRecvMsg(nullptr);
  EXPECT_EQ(Pull(milliseconds(50)), "");
}

TEST(Dispatcher, ReplyTextIsStyledWithTabsAndATrailingNewline) {
  Process(std::string("{\"cmd\":3,\"sno\":1,") + kLimitParam + "}");
  std::string text = Pull();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.front(), '{');
  EXPECT_EQ(text.substr(text.size() - 2), "}\n");
  EXPECT_NE(text.find("\n\t\"description\" : "), std::string::npos);
}

TEST(Notifications, CarryExactlyThreeMembers) {
  Json::Value param(Json::objectValue);
  param["k"] = "v";
  ImAdapterCmd::Instance().SendAppendMsgNotify(param);
  Json::Value append = PullJson();
  EXPECT_EQ(append["description"].asString(), "AppendMsgNotify");
  EXPECT_EQ(append["notify"].asUInt(), 331776u);
  EXPECT_EQ(append["param"]["k"].asString(), "v");
  EXPECT_EQ(append.size(), 3u);

  ImAdapterCmd::Instance().SendMigrationProgressNotify(param);
  Json::Value progress = PullJson();
  EXPECT_EQ(progress["description"].asString(), "MIGRATIONFILE_E_EVT_PROG_RESULT");
  EXPECT_EQ(progress["notify"].asUInt(), 331777u);
  EXPECT_EQ(progress.size(), 3u);
}

TEST(Replies, ResultReplyHasNoParam) {
  Json::Value request;
  ParseJsonText("{\"cmd\":4,\"sno\":9}", request);
  ImAdapterCmd::Instance().SendResultToHost(1, request, "im_http_migration_files");
  Json::Value reply = PullJson();
  EXPECT_EQ(reply["result"].asInt(), 1);
  EXPECT_EQ(reply["description"].asString(), "im_http_migration_files");
  EXPECT_FALSE(reply.isMember("param"));
}

TEST(SerialNumbers, CycleFrom32768To65535ThenRestartAt32767) {
  ImAdapterCmd cmd;
  EXPECT_EQ(cmd.NextSno(), 32768);
  EXPECT_EQ(cmd.NextSno(), 32769);
  for (int i = 32770; i < 65535; ++i) cmd.NextSno();
  EXPECT_EQ(cmd.NextSno(), 65535);
  EXPECT_EQ(cmd.NextSno(), 32767);
  EXPECT_EQ(cmd.NextSno(), 32768);
}

}  // namespace
