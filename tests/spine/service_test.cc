// The command dispatcher and the reply envelopes, then the service's routing,
// start-up and shut-down with in-process fake plugins, driven in-process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/service/ImAdapterService.h"
#include "log/AdapterLog.h"
#include "tests/support/HubSync.h"
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

// The text of the adapter's log under folder (the log goes into a day folder).
std::string LogText(const std::string& folder) {
  std::string text;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) text += testfiles::Read(entry.path().string());
  }
  return text;
}

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

  std::vector<std::string> errors;
  int enters = 0, leaves = 0, inputs = 0;
  std::istringstream log(LogText(folder));  // the "\r" of each line stays
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("Logone", 0) == 0) continue;  // the file's header
    EXPECT_EQ(line.substr(0, 1) + line.back(), "[\r") << "a line split: " << line;
    if (line.find("ImAdapterCmd::ProcessRecvMsg]") == std::string::npos) continue;
    const std::string text = line.substr(line.find("ProcessRecvMsg]") + 15);
    enters += text == "Enter...\r";
    leaves += text == "Leave...\r";
    inputs += text.rfind("input: ", 0) == 0;
    if (line.find("[Err]") != std::string::npos) errors.push_back(text);
  }
  ASSERT_EQ(errors.size(), std::size(cases) + 1);
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

// ---- The service: routing, start-up and shut-down with in-process fake plugins ----

std::mutex g_mutex;
std::vector<std::string> g_calls;  // "<entry point>:<text>" in call order

int Record(const std::string& call) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_calls.push_back(call);
  return 0;
}

std::vector<std::string> TakeCalls() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<std::string> calls;
  calls.swap(g_calls);
  return calls;
}

std::atomic<int> g_startupResult{0};

PluginApi FakePlugins() {
  PluginApi api;
  api.imServiceStartup = [] {
    Record("IMServiceStartup");
    return g_startupResult.load();
  };
  api.imServiceShutDown = [] {
    Record("IMServiceShutDown");
    return 42;
  };
  api.imRecvMsgImport = [](const char* t, uint32_t n) { return Record("IM:" + std::string(t, n)); };
  api.sqliteRecvMsgImport = [](const char* t, uint32_t n) {
    return Record("Store:" + std::string(t, n));
  };
  api.offLineFileRecvMsgImport = [](const char* t, uint32_t n) {
    return Record("Offline:" + std::string(t, n));
  };
  api.imSetAdapterCallback = [](IMAdapterServiceCallbackFn) { return Record("ImCallback"); };
  api.sqliteSetAdapterCallback = [](IMAdapterServiceCallbackFn) { return Record("StoreCallback"); };
  api.offLineSetAdapterCallback = [](IMAdapterServiceCallbackFn) {
    return Record("OfflineCallback");
  };
  return api;
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ImAdapterService::Instance().SetPluginApi(FakePlugins());
    TakeCalls();
  }
  void TearDown() override {
    ImAdapterService::Instance().ShutDown();
    while (char* t = ImAdapterCmd::Instance().Queues().TakeInbound()) std::free(t);
    while (char* t =
               ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::milliseconds(0)))
      std::free(t);
  }
};

// Targets 0 to 3 reach their plugins untouched, bounded by the length and not
// the NUL; other targets are dropped; an empty text for the adapter is not queued.
TEST_F(ServiceTest, RoutesByTargetAndDropsWhatItCannotRoute) {
  ImAdapterService& s = ImAdapterService::Instance();
  for (uint32_t target : {0u, 1u, 2u, 3u, 4u, 6u, 0xFFFFFFFFu})
    s.DispatchMsg("{\"a\":1}xyz", 7, target);
  s.DispatchMsg("{}", 0, 5);
  s.DispatchMsg(nullptr, 5, 5);
  EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"IM:{\"a\":1}", "IM:{\"a\":1}",
                                                   "Store:{\"a\":1}", "Offline:{\"a\":1}"}));
  EXPECT_EQ(ImAdapterCmd::Instance().Queues().InboundSize(), 0u);
  s.DispatchMsg("{}", 2, 5);
  EXPECT_EQ(ImAdapterCmd::Instance().Queues().InboundSize(), 1u);
}

// Each start starts the IM service and registers the callback with the three
// plugins, in that order; a shut-down without a start only stops the IM service.
TEST_F(ServiceTest, StartupAndShutDownCallThePluginsInOrder) {
  EXPECT_EQ(ImAdapterService::Instance().ShutDown(), 42);
  EXPECT_EQ(TakeCalls(), std::vector<std::string>{"IMServiceShutDown"});
  g_startupResult = 7;
  EXPECT_EQ(ImAdapterService::Instance().Startup(), 7);
  g_startupResult = 8;
  EXPECT_EQ(ImAdapterService::Instance().Startup(), 8);  // the second result is returned
  g_startupResult = 0;
  const std::vector<std::string> once = {"IMServiceStartup", "ImCallback", "StoreCallback",
                                         "OfflineCallback"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(TakeCalls(), twice);
  EXPECT_EQ(ImAdapterService::Instance().ShutDown(), 42);
}

void SendCommandThree(unsigned sno) {
  const std::string request = "{\"cmd\":3,\"sno\":" + std::to_string(sno) +
                              ",\"param\":{\"currentTimestamp\":\"1\",\"msgList\":[]}}";
  ImAdapterService::Instance().DispatchMsg(request.c_str(), static_cast<uint32_t>(request.size()),
                                           5);
}

// While the adapter is shut down, host requests wait for the next start and
// plugin texts are dropped on arrival, with one error line and its count per
// stopped period: 50,000 late answers delay no restart. A full hub drops its
// oldest texts, with a line when it overflows and one with the count after.
TEST_F(ServiceTest, WhileShutDownRequestsWaitAndPluginTextsAreDroppedWithALinePerPeriod) {
  ImAdapterService& service = ImAdapterService::Instance();
  ImAdapterCallback& hub = ImAdapterCallback::Instance();
  hub.Start();  // ends a stopped period left by an earlier test
  hub.Stop();
  const testfiles::ScratchDir scratch;
  const std::string folder = scratch.path() + "/log";  // im_adapter.log goes into a day folder
  ASSERT_EQ(AdapterLogOpen(1, 5, folder.c_str(), "im_adapter.log"), 0);  // errors only
  for (int i = 0; i < 50000; ++i) IMAdapterServiceCallback(R"({"rsp": 57, "sno": 40000})");
  SendCommandThree(1);
  SendCommandThree(2);
  service.Startup();
  EXPECT_EQ(PullJson()["sno"].asUInt(), 1u);
  EXPECT_EQ(PullJson()["sno"].asUInt(), 2u);

  // The hub thread is held in the first text; of the texts behind it, one more
  // than fit and a last one, the two oldest are dropped and the last is handled.
  hub_sync::Latch held, release, last;
  hub.RegisterNotifyCallback(92, [&](Json::Value&) {
    held.Open();
    release.WaitOpen();
  });
  hub.RegisterNotifyCallback(93, [&](Json::Value&) { last.Open(); });
  IMAdapterServiceCallback(R"({"notify": 92})");
  EXPECT_TRUE(held.WaitOpen());
  for (size_t i = 0; i <= ImAdapterCallback::kQueueCapacity; ++i) {
    IMAdapterServiceCallback(R"({"notify": 92})");
  }
  IMAdapterServiceCallback(R"({"notify": 93})");
  release.Open();
  EXPECT_TRUE(last.WaitOpen());
  for (uint32_t code : {92, 93}) hub.RegisterNotifyCallback(code, nullptr);
  service.ShutDown();
  for (int i = 0; i < 3; ++i) IMAdapterServiceCallback("{}");
  service.Startup();
  AdapterLogClose();

  const std::string text = LogText(folder);
  std::vector<std::string> errors;  // each error line's text, after "[<source>:<line> <function>]"
  const std::regex kError(R"(\]\[Err\]\[[^\]]*\]([^\r]*))");
  for (std::sregex_iterator it(text.begin(), text.end(), kError), end; it != end; ++it)
    errors.push_back((*it)[1]);
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "callbackTask: 50000 messages dropped while the queue was stopped",
                        "callbackTask: queue full (4096), dropping the oldest messages",
                        "callbackTask: 2 messages dropped, the queue was full",
                        "callbackTask: 3 messages dropped while the queue was stopped"}));
}

}  // namespace
