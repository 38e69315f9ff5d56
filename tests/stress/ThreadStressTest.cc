// Eight host threads dispatch to targets 0-3 and 5, two host threads pull,
// four plugin threads call back, and the service is started and shut down 20
// times meanwhile. Afterwards every count is exact: each plugin got exactly
// the texts sent to it, each target-5 request was answered exactly once, and
// each plugin message reached its handler exactly once.
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/service/ImAdapterService.h"
#include "adapter/src/boundary/JsonText.h"
#include "tests/support/HubSync.h"

namespace {

constexpr int kHostThreads = 8;
constexpr int kPullThreads = 2;
constexpr int kPluginThreads = 4;
constexpr int kCycles = 20;
constexpr uint32_t kTargets[] = {0, 1, 2, 3, 5};
constexpr uint32_t kStressNotify = 0x5a000;
constexpr int64_t kIdsPerThread = 100000000;
// Plugin notifications posted but not yet handled, at most. Each is followed
// by one answer text, so the hub never holds more than about twice this many
// texts, well inside its queue bound (which would drop the oldest).
constexpr uint64_t kPluginBacklog = 1500;

// Texts the fake plugins received, by target (the IM service gets targets 0 and 1).
std::array<std::atomic<uint64_t>, 4> g_received{};

int Count(uint32_t target, const char*, uint32_t) {
  ++g_received[target];
  return 0;
}

// A group with no sending limit: the command answers at once and keeps no state.
std::string LimitRequest(int64_t sno) {
  return "{\"cmd\":3,\"sno\":" + std::to_string(sno) +
         ",\"param\":{\"currentTimestamp\":\"1700000000000\","
         "\"msgList\":[{\"groupId\":\"stress\",\"flowLimitCount\":11}]}}";
}

// Ids seen, with how often each was seen.
class Tally {
 public:
  void Add(int64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++seen_[id];
    ++total_;
    changed_.notify_all();
  }
  // Waits until total ids were seen; false after the timeout.
  bool WaitForTotal(uint64_t total, std::chrono::seconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return total_ >= total; });
  }
  // The ids seen other than exactly once, or missing from expected.
  std::vector<int64_t> Faults(const std::vector<int64_t>& expected) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int64_t> faults;
    for (int64_t id : expected) {
      auto it = seen_.find(id);
      if (it == seen_.end() || it->second != 1) faults.push_back(id);
    }
    if (seen_.size() != expected.size()) faults.push_back(-1);
    return faults;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int64_t, int> seen_;
  uint64_t total_ = 0;
};

TEST(ThreadStressTest, EveryTextArrivesExactlyOnceThroughStartUpsAndShutDowns) {
  ImAdapterService& service = ImAdapterService::Instance();
  hub_sync::InstallPlugins<Count>();
  Tally replies;
  Tally notifications;
  ImAdapterCallback::Instance().RegisterNotifyCallback(
      kStressNotify, [&](Json::Value& message) { notifications.Add(message["id"].asInt64()); });

  std::atomic<bool> stop{false};
  std::atomic<bool> pluginsStop{false};
  std::atomic<uint64_t> posted{0};
  std::atomic<bool> pullersStop{false};
  std::array<std::atomic<uint64_t>, 6> dispatched{};
  std::vector<std::vector<int64_t>> requestIds(kHostThreads);
  std::vector<std::vector<int64_t>> postedIds(kPluginThreads);
  std::vector<std::thread> threads;
  std::vector<std::thread> plugins;  // running only while the hub serves

  ASSERT_EQ(service.Startup(), 0);
  for (int h = 0; h < kHostThreads; ++h) {
    threads.emplace_back([&, h] {
      for (int64_t i = 0; !stop.load(); ++i) {
        const uint32_t target = kTargets[(i + h) % 5];
        if (target == 5) {
          const int64_t sno = h * kIdsPerThread + i;
          const std::string text = LimitRequest(sno);
          requestIds[h].push_back(sno);
          service.DispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), target);
        } else {
          service.DispatchMsg("{\"cmd\":1}", 9, target);
        }
        ++dispatched[target];
      }
    });
  }
  const auto startPlugins = [&] {
    pluginsStop = false;
    for (int p = 0; p < kPluginThreads; ++p) {
      plugins.emplace_back([&, p] {
        while (!pluginsStop.load()) {
          const int64_t id = p * kIdsPerThread + static_cast<int64_t>(postedIds[p].size());
          postedIds[p].push_back(id);
          const std::string text = "{\"notify\":" + std::to_string(kStressNotify) +
                                   ",\"id\":" + std::to_string(id) + "}";
          IMAdapterServiceCallback(text.c_str());
          // An answer nobody waits for is dropped and must not disturb the rest.
          IMAdapterServiceCallback("{\"rsp\":57,\"sno\":12345,\"result\":0}");
          const uint64_t count = ++posted;
          if (count > kPluginBacklog) {
            notifications.WaitForTotal(count - kPluginBacklog, std::chrono::seconds(60));
          }
        }
      });
    }
  };
  const auto stopPlugins = [&] {
    pluginsStop = true;
    for (std::thread& plugin : plugins) plugin.join();
    plugins.clear();
  };
  startPlugins();
  std::vector<std::thread> pullers;
  for (int q = 0; q < kPullThreads; ++q) {
    pullers.emplace_back([&] {
      while (!pullersStop.load()) {
        char* text =
            ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::milliseconds(20));
        if (text == nullptr) continue;
        Json::Value reply;
        ParseJsonText(text, reply);
        std::free(text);
        replies.Add(reply["sno"].asInt64());
      }
    });
  }

  // The schedule of the run: each cycle serves for most of its share of the
  // run time, then stays shut down for the rest, while the host threads go
  // on. A stopped hub drops what plugins send, and what it still holds when it
  // stops, so the plugin threads end before it stops and start again after,
  // and the hub has handled every notification before it stops: their count
  // stays exact.
  const char* seconds = std::getenv("IM_STRESS_SECONDS");
  const auto cycle =
      std::chrono::milliseconds(1000 * (seconds ? std::atoi(seconds) : 10)) / kCycles;
  for (int c = 0; c < kCycles; ++c) {
    std::this_thread::sleep_for(cycle * 3 / 4);
    stopPlugins();
    EXPECT_TRUE(notifications.WaitForTotal(posted.load(), std::chrono::seconds(60)));
    EXPECT_EQ(service.ShutDown(), 0);
    std::this_thread::sleep_for(cycle / 4);
    EXPECT_EQ(service.Startup(), 0);
    startPlugins();
  }
  stop.store(true);
  for (std::thread& thread : threads) thread.join();
  stopPlugins();

  const auto all = [](const std::vector<std::vector<int64_t>>& perThread) {
    std::vector<int64_t> ids;
    for (const auto& some : perThread) ids.insert(ids.end(), some.begin(), some.end());
    return ids;
  };
  const std::vector<int64_t> expectedReplies = all(requestIds);
  const std::vector<int64_t> expectedNotifications = all(postedIds);
  EXPECT_TRUE(replies.WaitForTotal(expectedReplies.size(), std::chrono::seconds(60)));
  EXPECT_TRUE(notifications.WaitForTotal(expectedNotifications.size(), std::chrono::seconds(60)));
  pullersStop.store(true);
  for (std::thread& puller : pullers) puller.join();
  EXPECT_EQ(service.ShutDown(), 0);

  EXPECT_EQ(g_received[kTargetIm].load(), dispatched[0].load() + dispatched[1].load());
  EXPECT_EQ(g_received[kTargetStore].load(), dispatched[2].load());
  EXPECT_EQ(g_received[kTargetOfflineFile].load(), dispatched[3].load());
  EXPECT_EQ(dispatched[5].load(), expectedReplies.size());
  EXPECT_EQ(replies.Faults(expectedReplies), std::vector<int64_t>());
  EXPECT_EQ(notifications.Faults(expectedNotifications), std::vector<int64_t>());
  RecordProperty("requests", static_cast<int>(expectedReplies.size()));
  RecordProperty("pluginMessages", static_cast<int>(expectedNotifications.size()));
  EXPECT_GT(expectedReplies.size(), 0u);
  EXPECT_GT(expectedNotifications.size(), 0u);
  EXPECT_EQ(ImAdapterCallback::Instance().Counts().waiting, 0u);
  EXPECT_EQ(ImAdapterCmd::Instance().Queues().InboundSize(), 0u);
  EXPECT_EQ(ImAdapterCmd::Instance().Queues().OutboundSize(), 0u);
}

}  // namespace
