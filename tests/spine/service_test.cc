// Routing, start-up and shut-down of the service, with in-process fake plugins.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/service/ImAdapterService.h"
#include "adapter/src/boundary/JsonText.h"
#include "log/AdapterLog.h"
#include "tests/support/HubSync.h"
#include "tests/util/ScratchFile.h"

namespace {

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

// The next reply for the host, taken within 1 s (null when none came).
Json::Value TakeReply() {
  char* text = ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::seconds(1));
  Json::Value reply;
  if (text != nullptr) ParseJsonText(text, reply);
  std::free(text);
  return reply;
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
  EXPECT_EQ(TakeReply()["sno"].asUInt(), 1u);
  EXPECT_EQ(TakeReply()["sno"].asUInt(), 2u);

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

  std::string text;  // of the log in the day folder
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) text += testfiles::Read(entry.path().string());
  }
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
