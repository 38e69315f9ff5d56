// The callback hub: dispatch by serial number and by notification code, the
// upload-handle registry, handler failures, restarts and concurrent plugins.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/ImAdapterCallback.h"
#include "adapter/src/ImAdapterNotify.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

// What the handlers saw.
struct Seen {
  std::mutex mutex;
  std::vector<std::string> calls;  // "<tag>:<userValue>:<marker>"
  void Add(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(call);
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }
};

std::string Marker(const Json::Value& reply) {
  return reply.isObject() && reply["marker"].isString() ? reply["marker"].asString() : "";
}

class CallbackHubTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakePlugins();
    auto seen = seen_;
    ImAdapterCallback& hub = ImAdapterCallback::Instance();
    hub.RegisterSnoCallback(40000,
                            {11, [seen](int32_t user, Json::Value& reply) {
                               seen->Add("sno:" + std::to_string(user) + ":" + Marker(reply));
                             }});
    hub.RegisterNotifyCallback(
        77, [seen](Json::Value& reply) { seen->Add("notify77::" + Marker(reply)); });
    hub.RegisterNotifyCallback(
        0, [seen](Json::Value& reply) { seen->Add("notify0::" + Marker(reply)); });
    ImAdapterNotify::Instance().RegisterHandleCallback(
        7, {21, [seen](int32_t user, Json::Value& reply) {
              seen->Add("handle:" + std::to_string(user) + ":" + Marker(reply));
            }});
  }
  void TearDown() override {
    ImAdapterCallback::Instance().RegisterNotifyCallback(0, nullptr);
    RemoveFakePlugins();
  }

  std::shared_ptr<Seen> seen_ = std::make_shared<Seen>();
};

TEST_F(CallbackHubTest, RoutesEachMessageToItsHandler) {
  struct Case {
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      // Answers go by "sno" when "rsp" is a non-zero unsigned number.
      {R"({"rsp": 5, "sno": 40000, "marker": "a"})", {"sno:11:a"}},
      {R"({"rsp": 5, "sno": 40000, "marker": "a"})", {"sno:11:a"}},  // twice: handled twice
      {R"({"rsp": 5, "sno": 40001, "marker": "b"})", {}},
      {R"({"rsp": 5, "marker": "c"})", {}},
      {R"({"rsp": 5, "sno": "40000", "marker": "d"})", {}},
      // Anything else is a notification, by "notify" (0 when absent).
      {R"({"rsp": 0, "notify": 77, "marker": "e"})", {"notify77::e"}},
      {R"({"notify": 77, "marker": "f"})", {"notify77::f"}},
      {R"({"rsp": -3, "sno": 40000, "marker": "g"})", {"notify0::g"}},
      {R"({"rsp": "5", "sno": 40000, "marker": "h"})", {"notify0::h"}},
      {R"({"notify": 78, "marker": "i"})", {}},
      // Upload results go on by file handle.
      {R"({"rsp": 0, "notify": 1, "param": {"file_handle": 7}, "marker": "j"})", {"handle:21:j"}},
      {R"({"notify": 1, "param": {"file_handle": 8}, "marker": "k"})", {}},
      {R"({"notify": 1, "marker": "l"})", {}},
      {R"({"notify": 1, "param": {"file_handle": "7"}, "marker": "m"})", {}},
      // Unparsable, empty and non-object texts are dropped.
      {"not json", {}},
      {"", {}},
      {"42", {}},
      {R"([1, 2])", {"notify0::"}},
  };
  for (const Case& c : cases) {
    Answer(std::string(c.text));
    DrainHub();
    EXPECT_EQ(seen_->Take(), c.expected) << c.text;
  }
}

// Empty and throwing handlers do not stop the hub, a handler may register
// further callbacks, and registering a serial number again replaces its entry.
TEST_F(CallbackHubTest, HandlersThatFailOrRegisterLeaveTheHubRunning) {
  ImAdapterCallback& hub = ImAdapterCallback::Instance();
  hub.RegisterSnoCallback(40002, {1, nullptr});
  hub.RegisterSnoCallback(40003,
                          {1, [](int32_t, Json::Value&) { throw std::runtime_error("boom"); }});
  hub.RegisterSnoCallback(40004, {1, [](int32_t, Json::Value&) { throw 7; }});
  hub.RegisterSnoCallback(40005, {1, [this](int32_t, Json::Value&) {
                                    ImAdapterCallback::Instance().RegisterSnoCallback(
                                        40000, {12, [this](int32_t u, Json::Value&) {
                                                  seen_->Add("new:" + std::to_string(u));
                                                }});
                                  }});
  for (int sno = 40002; sno <= 40005; ++sno) {
    Answer("{\"rsp\": 1, \"sno\": " + std::to_string(sno) + "}");
  }
  Answer(std::string(R"({"rsp": 1, "sno": 40000})"));
  DrainHub();
  EXPECT_EQ(seen_->Take(), std::vector<std::string>{"new:12"});
}

// Messages posted while the hub is stopped wait for the restart; the restart
// registers the upload notification again.
TEST_F(CallbackHubTest, RestartHandlesQueuedMessagesAndUploadNotifications) {
  ImAdapterCallback::Instance().RegisterNotifyCallback(ImAdapterCallback::kOffLineRspNotify,
                                                       nullptr);
  ImAdapterCallback::Instance().Stop();
  Answer(std::string(R"({"rsp": 1, "sno": 40000, "marker": "queued"})"));
  ImAdapterCallback::Instance().Stop();  // stopping twice is harmless
  ImAdapterCallback::Instance().Start();
  ImAdapterCallback::Instance().Start();  // starting twice too
  Answer(std::string(R"({"notify": 1, "param": {"file_handle": 7}, "marker": "r"})"));
  DrainHub();
  EXPECT_EQ(seen_->Take(), (std::vector<std::string>{"sno:11:queued", "handle:21:r"}));
}

class CallbackHubConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePlugins(); }
  void TearDown() override { RemoveFakePlugins(); }
};

TEST_F(CallbackHubConcurrencyTest, PluginsPostingFromManyThreadsLoseNothingAndKeepOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::mutex mutex;
  std::vector<std::vector<int>> order(kThreads);
  ImAdapterCallback::Instance().RegisterNotifyCallback(90, [&](Json::Value& reply) {
    std::lock_guard<std::mutex> lock(mutex);
    order[reply["t"].asInt()].push_back(reply["i"].asInt());
  });
  std::vector<std::thread> plugins;
  for (int t = 0; t < kThreads; ++t) {
    plugins.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i) {
        Answer("{\"notify\": 90, \"t\": " + std::to_string(t) + ", \"i\": " + std::to_string(i) +
               "}");
      }
    });
  }
  for (std::thread& plugin : plugins) plugin.join();
  DrainHub();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(order[t].size(), static_cast<size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(order[t][i], i);
  }
}

TEST_F(CallbackHubConcurrencyTest, StopWaitsForTheRunningHandler) {
  Latch entered;
  Latch release;
  std::atomic<bool> finished{false};
  ImAdapterCallback::Instance().RegisterNotifyCallback(91, [&](Json::Value&) {
    entered.Open();
    release.WaitOpen();
    finished = true;
  });
  Answer(std::string(R"({"notify": 91})"));
  ASSERT_TRUE(entered.WaitOpen());
  std::thread stopper([] { ImAdapterCallback::Instance().Stop(); });
  release.Open();
  stopper.join();
  EXPECT_TRUE(finished.load());
  ImAdapterCallback::Instance().Start();
}

}  // namespace
}  // namespace bridge_test
