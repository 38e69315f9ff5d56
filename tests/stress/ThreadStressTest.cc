// Eight host threads dispatch to targets 0-3 and 5, two host threads pull,
// four plugin threads call back throughout, and the service is started and
// shut down meanwhile: 20 times over the run time, and 100 times one right
// after the other. Every restart answers a command 3 of its own. Afterwards
// every count is exact: each plugin got exactly the texts sent to it, each
// target-5 request was answered exactly once, and each plugin text reached its
// handler at most once and in the order its thread sent it, the hub counting
// every one that did not (sent while it was stopped, left waiting at a
// shut-down, or pushed out of a full queue).
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
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/service/ImAdapterService.h"
#include "tests/support/HubSync.h"

namespace {

constexpr int kHostThreads = 8;
constexpr int kPullThreads = 2;
constexpr int kPluginThreads = 4;
constexpr uint32_t kTargets[] = {0, 1, 2, 3, 5};
constexpr uint32_t kStressNotify = 0x5a000;
constexpr int32_t kStressSno = 12345;
constexpr int64_t kIdsPerThread = 100000000;
// Plugin texts waiting in the hub before a plugin thread holds back: inside
// the hub's queue bound, so that the hub handles most texts rather than
// pushing them out.
constexpr size_t kPluginBacklog = 3000;

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
  // Waits until id was seen; false after a minute.
  bool WaitForId(int64_t id) {
    return WaitUntil([&] { return seen_.count(id) > 0; });
  }
  // Waits until total ids were seen; false after a minute.
  bool WaitForTotal(uint64_t total) {
    return WaitUntil([&] { return total_ >= total; });
  }
  // Waits until done() holds, checked at each id seen and each Wake; false
  // after a minute.
  template <typename Done>
  bool WaitUntil(Done done) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), done);
  }
  void Wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
  }
  uint64_t Total() {
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
  }
  // The ids seen other than once or not among expected, and -1 when every
  // one must arrive and some did not.
  std::vector<int64_t> Faults(const std::vector<int64_t>& expected, bool everyOne) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int64_t> faults;
    const std::set<int64_t> wanted(expected.begin(), expected.end());
    for (const auto& [id, times] : seen_) {
      if (times != 1 || wanted.count(id) == 0) faults.push_back(id);
    }
    if (everyOne && seen_.size() != wanted.size()) faults.push_back(-1);
    return faults;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int64_t, int> seen_;
  uint64_t total_ = 0;
};

// `cycles` shut-downs and start-ups, each cycle serving for three quarters of
// its share of runTime and staying shut down for the rest.
void RunStress(int cycles, std::chrono::milliseconds runTime) {
  ImAdapterService& service = ImAdapterService::Instance();
  ImAdapterCallback& hub = ImAdapterCallback::Instance();
  hub_sync::InstallPlugins<Count>();
  for (std::atomic<uint64_t>& received : g_received) received = 0;
  Tally replies;
  Tally handled;       // plugin texts that reached their handler
  Tally stoppedPosts;  // one per plugin thread and stopped period
  std::vector<int64_t> lastHandled(kPluginThreads, -1);  // written on the hub thread only
  bool inOrder = true;
  const auto handle = [&](Json::Value& text) {
    const int64_t id = text["id"].asInt64();
    int64_t& last = lastHandled.at(static_cast<size_t>(id / kIdsPerThread));
    inOrder = inOrder && id > last;
    last = id;
    handled.Add(id);
  };
  hub.RegisterNotifyCallback(kStressNotify, handle);
  hub.RegisterSnoCallback(kStressSno,
                          SnoCallback{0, [&](int32_t, Json::Value& text) { handle(text); }});
  const TaskQueue::Counts before = hub.Counts();

  std::atomic<bool> stop{false};
  std::atomic<bool> pluginsStop{false};
  std::atomic<bool> pullersStop{false};
  // 0 while the hub serves; in cycle c, 2c - 1 while it is shut down and 2c
  // while it starts.
  std::atomic<int> phase{0};
  std::array<std::atomic<uint64_t>, 6> dispatched{};
  std::vector<std::vector<int64_t>> requestIds(kHostThreads + 1);  // the last: the restarts'
  std::vector<std::vector<int64_t>> queuedIds(kPluginThreads);
  std::atomic<uint64_t> refused{0};  // plugin texts the stopped hub dropped at once
  std::vector<std::thread> threads;
  std::vector<std::thread> plugins;

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
  // Each plugin thread sends a notification and an answer (each with an id of
  // its own) at a time, while the hub serves, stops and starts, through the
  // hub's Post (what the exported callback calls), which tells whether the
  // text was queued. It holds back while the serving hub's queue is long, and
  // after the stopped hub dropped a text, until the phase changes (a stopped
  // hub drops texts as fast as they come).
  for (int p = 0; p < kPluginThreads; ++p) {
    plugins.emplace_back([&, p] {
      for (int64_t id = p * kIdsPerThread; !pluginsStop.load(); id += 2) {
        const int now = phase.load();
        const std::string texts[] = {
            "{\"notify\":" + std::to_string(kStressNotify) + ",\"id\":" + std::to_string(id) + "}",
            "{\"rsp\":57,\"sno\":" + std::to_string(kStressSno) +
                ",\"result\":0,\"id\":" + std::to_string(id + 1) + "}"};
        bool stopped = false;
        for (int k = 0; k < 2; ++k) {
          if (hub.Post(texts[k].c_str())) {
            queuedIds[p].push_back(id + k);
          } else {
            ++refused;
            stopped = true;
          }
        }
        if (stopped && now % 2 == 1) stoppedPosts.Add(now * kPluginThreads + p);
        EXPECT_TRUE(handled.WaitUntil([&] {
          return pluginsStop.load() ||
                 (stopped ? phase.load() != now : hub.Counts().waiting < kPluginBacklog);
        }));
      }
    });
  }
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
  // run time, then stays shut down for the rest, and until every plugin thread
  // has sent into the stopped hub, while the host threads go on.
  const auto cycle = runTime / cycles;
  const auto enter = [&](int next) {
    phase = next;
    handled.Wake();
  };
  for (int c = 1; c <= cycles; ++c) {
    std::this_thread::sleep_for(cycle * 3 / 4);
    EXPECT_EQ(service.ShutDown(), 0);
    EXPECT_FALSE(service.IsRunning());
    enter(2 * c - 1);
    std::this_thread::sleep_for(cycle / 4);
    EXPECT_TRUE(stoppedPosts.WaitForTotal(static_cast<uint64_t>(kPluginThreads) * c));
    enter(2 * c);
    EXPECT_EQ(service.Startup(), 0);
    enter(0);
    const int64_t sno = kHostThreads * kIdsPerThread + c;
    const std::string text = LimitRequest(sno);
    requestIds[kHostThreads].push_back(sno);
    ++dispatched[5];
    service.DispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), 5);
    EXPECT_TRUE(replies.WaitForId(sno)) << "restart " << c;
  }
  stop.store(true);
  for (std::thread& thread : threads) thread.join();
  pluginsStop.store(true);
  handled.Wake();
  for (std::thread& plugin : plugins) plugin.join();

  const auto all = [](const std::vector<std::vector<int64_t>>& perThread) {
    std::vector<int64_t> ids;
    for (const auto& some : perThread) ids.insert(ids.end(), some.begin(), some.end());
    return ids;
  };
  const std::vector<int64_t> expectedReplies = all(requestIds);
  const std::vector<int64_t> queued = all(queuedIds);
  EXPECT_TRUE(replies.WaitForTotal(expectedReplies.size()));
  pullersStop.store(true);
  for (std::thread& puller : pullers) puller.join();
  EXPECT_EQ(service.ShutDown(), 0);
  const TaskQueue::Counts after = hub.Counts();
  hub.RegisterNotifyCallback(kStressNotify, nullptr);  // the handlers go with this run
  hub.RegisterSnoCallback(kStressSno, SnoCallback{0, nullptr});

  EXPECT_EQ(g_received[kTargetIm].load(), dispatched[0].load() + dispatched[1].load());
  EXPECT_EQ(g_received[kTargetStore].load(), dispatched[2].load());
  EXPECT_EQ(g_received[kTargetOfflineFile].load(), dispatched[3].load());
  EXPECT_EQ(dispatched[5].load(), expectedReplies.size());
  EXPECT_EQ(replies.Faults(expectedReplies, true), std::vector<int64_t>());
  // Plugin texts: each one the hub ran reached its handler once, and was one
  // it had queued; it counted each other one dropped, the refused ones and the
  // queued ones it never ran (left waiting at a shut-down or pushed out of a
  // full queue).
  EXPECT_EQ(handled.Faults(queued, false), std::vector<int64_t>());
  EXPECT_EQ(after.run - before.run, handled.Total());
  EXPECT_EQ(after.dropped - before.dropped, refused.load() + queued.size() - handled.Total());
  EXPECT_GE(refused.load(), 2u * kPluginThreads * cycles);
  EXPECT_TRUE(inOrder);
  ::testing::Test::RecordProperty("requests", static_cast<int>(expectedReplies.size()));
  ::testing::Test::RecordProperty("pluginTextsHandled", static_cast<int>(handled.Total()));
  ::testing::Test::RecordProperty("pluginTextsDropped", static_cast<int>(after.dropped - before.dropped));
  ::testing::Test::RecordProperty("pluginTextsRefused", static_cast<int>(refused.load()));
  EXPECT_GT(expectedReplies.size(), 0u);
  EXPECT_GT(handled.Total(), 0u);
  EXPECT_EQ(after.waiting, 0u);
  EXPECT_EQ(ImAdapterCmd::Instance().Queues().InboundSize(), 0u);
  EXPECT_EQ(ImAdapterCmd::Instance().Queues().OutboundSize(), 0u);
}

TEST(ThreadStressTest, EveryTextArrivesExactlyOnceThroughStartUpsAndShutDowns) {
  const char* seconds = std::getenv("IM_STRESS_SECONDS");
  RunStress(20, std::chrono::seconds(seconds ? std::atoi(seconds) : 10));
}

TEST(ThreadStressTest, OneHundredRestartsOneRightAfterTheOther) {
  RunStress(100, std::chrono::milliseconds(0));
}

}  // namespace
