// The command dispatcher and the reply envelopes, driven in-process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "log/AdapterLog.h"
#include "tests/util/ScratchFile.h"

namespace {

using std::chrono::milliseconds;

// The next outbound text, or "" when none arrives in time.
std::string Pull(milliseconds wait = milliseconds(2000)) {
  const std::unique_ptr<char, decltype(&std::free)> text(
      ImAdapterCmd::Instance().Queues().TakeOutboundFor(wait), &std::free);
  return text != nullptr ? std::string(text.get()) : std::string();
}

void Process(const std::string& request) {
  ImAdapterCmd::Instance().ProcessRecvMsg(request.c_str());
}

Json::Value PullJson() {
  Json::Value reply;
  EXPECT_EQ(ParseJsonText(Pull(), reply), 0);
  return reply;
}

const char kLimitParam[] =
    "\"param\":{\"currentTimestamp\":\"1000\",\"msgList\":[{\"groupId\":\"g-disp\","
    "\"flowLimitCount\":-1}]}";

// A reply's members in one line, "name=value" in name order ("param" by name only).
std::string Members(const Json::Value& reply) {
  std::string line;
  for (const std::string& name : reply.getMemberNames()) {
    line += (line.empty() ? "" : " ") + name;
    if (name != "param") line += "=" + reply[name].asString();
  }
  return line;
}

// The reply echoes "description" when it is a text (else the command's own
// name), the whole "cmd" as "rsp" (the command is its low 16 bits, a fraction
// cut) and "sno" only when it is an unsigned 32-bit integer.
TEST(Dispatcher, ReplyEnvelopeEchoesTheRequest) {
  const std::string kDefault = "description=CheckIsExceedSendingLimit param result=0 rsp=3";
  const std::pair<const char*, std::string> cases[] = {
      {R"("cmd":3,"sno":12,"description":"x")", "description=x param result=0 rsp=3 sno=12"},
      {R"("cmd":3,"sno":4294967295)", kDefault + " sno=4294967295"},
      {R"("cmd":3)", kDefault},
      {R"("cmd":3,"sno":1.5)", kDefault},
      {R"("cmd":3,"sno":4294967296)", kDefault},
      {R"("cmd":3,"sno":[1])", kDefault},
      {R"("cmd":3,"description":7)", kDefault},
      {R"("cmd":3.7)", kDefault},
      {R"("cmd":65539)", "description=CheckIsExceedSendingLimit param result=0 rsp=65539"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    Process(std::string("{") + c.first + "," + kLimitParam + "}");
    const std::string text = Pull();
    Json::Value reply;
    ASSERT_EQ(ParseJsonText(text, reply), 0);
    EXPECT_EQ(Members(reply), c.second);
    EXPECT_EQ(text, StyledJsonText(reply));  // tabs, sorted members, a trailing newline
  }
}

// Each request that names no command gets no reply and one error line, whole
// on its line, between the "Enter..." and "Leave..." of ProcessRecvMsg; the
// input is logged at debug level.
TEST(Dispatcher, RequestsThatNameNoCommandGetNoReplyAndOneErrorLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "json parse failed"},
      {"not json", "json parse failed"},
      {"[3]", "request is not a json object"},
      {"{}", "invalid cmd: 0"},
      {"{\"cmd\":0}", "invalid cmd: 0"},
      {"{\"cmd\":8}", "invalid cmd: 8"},
      {"{\"cmd\":65536}", "invalid cmd: 0"},
      {"{\"cmd\":65544}", "invalid cmd: 8"},
      {"{\"cmd\":\"3\"}", "invalid cmd: \"3\""},
      {"{\"cmd\":[3]}", "invalid cmd: [3]"},
      {"{\"cmd\":{\"a\":3}}", "invalid cmd: {\"a\":3}"},
      {"{\"cmd\":-3}", "invalid cmd: -3"},
      {"{\"cmd\":null}", "invalid cmd: 0"},
      {"{\"cmd\":1e30}", "invalid cmd: 1e+30"},
      {"{\r\n  \"cmd\": 8\n}", "invalid cmd: 8"},  // its input line stays one line
  };
  const testfiles::ScratchDir scratch;
  const std::string folder = scratch.path() + "/log";
  std::filesystem::create_directories(folder);
  ASSERT_EQ(AdapterLogOpen(4, 5, folder.c_str(), "im_adapter.log"), 0);
  for (const auto& c : cases) Process(c.first);
  ImAdapterCmd::Instance().ProcessRecvMsg(nullptr);
  AdapterLogClose();
  EXPECT_EQ(Pull(milliseconds(50)), "");

  std::string path;  // in the day folder below "log"
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().filename() == "im_adapter.log") path = entry.path().string();
  }
  std::vector<std::string> errors;
  int enters = 0, leaves = 0, inputs = 0;
  std::ifstream file(path, std::ios::binary);  // the "\r" of each line stays
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("Logone", 0) == 0) continue;  // the file's header
    EXPECT_EQ(line.substr(0, 1) + line.back(), "[\r") << "a line split: " << line;
    if (line.find("ImAdapterCmd::ProcessRecvMsg]") == std::string::npos) continue;
    const std::string text = line.substr(line.find("ProcessRecvMsg]") + 15);
    enters += text == "Enter...\r";
    leaves += text == "Leave...\r";
    inputs += text.rfind("input: ", 0) == 0;
    if (line.find("[Err]") != std::string::npos) errors.push_back(text);
  }
  file.close();  // before the folder goes
  ASSERT_EQ(errors.size(), std::size(cases) + 1) << path;
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(errors[i], std::string(cases[i].second) + "\r") << cases[i].first;
  }
  EXPECT_EQ(errors.back(), "json parse failed\r");  // the null text
  EXPECT_EQ(enters, static_cast<int>(std::size(cases)) + 1);
  EXPECT_EQ(leaves, enters);
  EXPECT_EQ(inputs, static_cast<int>(std::size(cases)));
}

TEST(Notifications, CarryExactlyThreeMembers) {
  Json::Value param(Json::objectValue);
  param["k"] = "v";
  HostChannel::Instance().SendAppendMsgNotify(param);
  HostChannel::Instance().SendMigrationProgressNotify(param);
  for (const char* expected : {"description=AppendMsgNotify notify=331776 param",
                               "description=MIGRATIONFILE_E_EVT_PROG_RESULT notify=331777 param"}) {
    const Json::Value notification = PullJson();
    EXPECT_EQ(Members(notification), expected);
    EXPECT_EQ(notification["param"], param);
  }
}

TEST(SerialNumbers, CycleFrom32768To65535ThenRestartAt32767) {
  HostChannel channel;
  EXPECT_EQ(channel.NextSno(), 32768);
  EXPECT_EQ(channel.NextSno(), 32769);
  for (int i = 32770; i < 65535; ++i) channel.NextSno();
  EXPECT_EQ(channel.NextSno(), 65535);
  EXPECT_EQ(channel.NextSno(), 32767);
  EXPECT_EQ(channel.NextSno(), 32768);
}

// Rows in order on one limiter: {"param" of the request, "result", the whole
// "param" of the reply}.
TEST(CheckIsExceedSendingLimit, Replies) {
  const std::string kReason = R"({"reason": "param is not correct!"})";
  const std::tuple<std::string, int, std::string> cases[] = {
      {"[]", -1, kReason},
      {"1", -1, kReason},
      {"\"x\"", -1, kReason},
      {"null", -1, kReason},
      // Entries inherit the previous group and limit.
      {R"({"currentTimestamp": "1000", "msgList": [{"groupId": "cmd3-a", "flowLimitCount": 1},
          {}, {"flowLimitCount": 2.0}, {"groupId": 5}, 7]})",
       0,
       R"({"currentTimestamp": "1000", "msgList": [{"groupId": "cmd3-a", "flowLimitCount": 1,
          "isSendMsg": true}, {"isSendMsg": true}, {"flowLimitCount": 2, "isSendMsg": true},
          {"isSendMsg": true}, {"isSendMsg": true}]})"},
      // The group "cmd3-a" now holds five stamps: a sixth is refused.
      {R"({"currentTimestamp": "1001", "msgList": [{"groupId": "cmd3-a", "flowLimitCount": 1}]})",
       0,
       R"({"currentTimestamp": "1001", "msgList": [{"groupId": "cmd3-a", "flowLimitCount": 1,
          "isSendMsg": false}]})"},
      // A numeric stamp refuses every entry and is not echoed.
      {R"({"currentTimestamp": 1000, "msgList": [{"groupId": "cmd3-b", "flowLimitCount": 1}]})", 0,
       R"({"msgList": [{"groupId": "cmd3-b", "flowLimitCount": 1, "isSendMsg": false}]})"},
      // An empty list is written as null, a list that is no array is left out.
      {R"({"currentTimestamp": "1", "msgList": []})", 0,
       R"({"currentTimestamp": "1", "msgList": null})"},
      {R"({"currentTimestamp": "1", "msgList": {}})", 0, R"({"currentTimestamp": "1"})"},
  };
  for (const auto& [param, result, expected] : cases) {
    Process("{\"cmd\":3,\"param\":" + param + "}");
    const Json::Value reply = PullJson();
    EXPECT_EQ(reply["result"], result) << param;
    Json::Value expectedParam;
    ASSERT_EQ(ParseJsonText(expected, expectedParam), 0) << expected;
    EXPECT_EQ(reply["param"], expectedParam) << param;
  }
}

}  // namespace
