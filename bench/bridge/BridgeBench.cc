// Bridge benchmarks, side by side in one run:
// - StoreRequestRoundTrip: one blocking store request (requesting thread →
//   store plugin → adapter callback → hub thread → waiter) against a store
//   that answers at once on its own thread, with the adapter's log open at its
//   usual threshold. Reports the median and 99th percentile latency.
// - HubThroughput: small plugin answers from Post to a handler that only
//   counts; reports answers per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/service/ImAdapterService.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "log/AdapterLog.h"

namespace {

// A store plugin that answers each request at once from its own thread.
class EchoStore {
 public:
  static EchoStore& Instance() {
    static EchoStore store;
    return store;
  }

  static int Receive(const char* text, uint32_t length) {
    Instance().Push(std::string(text, length));
    return 0;
  }

  void Start() {
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  void Push(std::string request) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(std::move(request));
    }
    wake_.notify_one();
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || !requests_.empty(); });
      if (stop_) return;
      std::string request = std::move(requests_.front());
      requests_.pop_front();
      lock.unlock();
      IMAdapterServiceCallback(AnswerFor(request).c_str());
      lock.lock();
    }
  }

  // The store's answer: the request's "sno" echoed, one contact.
  static std::string AnswerFor(const std::string& request) {
    const char* sno = std::strstr(request.c_str(), "\"sno\" : ");
    const long value = sno ? std::strtol(sno + 8, nullptr, 10) : 0;
    return "{\"rsp\": 155, \"sno\": " + std::to_string(value) +
           ", \"result\": 0, \"param\": {\"UserInfo\": {\"name\": \"Zhang San\", "
           "\"foreignName\": \"San Zhang\"}}}";
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::string> requests_;
  bool stop_ = false;
  std::thread thread_;
};

void StoreRequestRoundTrip(benchmark::State& state) {
  PluginApi api;
  api.sqliteRecvMsgImport = &EchoStore::Receive;
  ImAdapterService::Instance().SetPluginApi(api);
  ImAdapterCallback::Instance().Start();
  EchoStore::Instance().Start();

  std::vector<double> micros;
  for (auto _ : state) {
    UserInfo user;
    const auto start = std::chrono::steady_clock::now();
    StoreQueries::QueryUserInfoByAccountId(1, "account-1", &user);
    const auto end = std::chrono::steady_clock::now();
    micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    benchmark::DoNotOptimize(user);
  }

  EchoStore::Instance().Stop();
  ImAdapterCallback::Instance().Stop();
  std::sort(micros.begin(), micros.end());
  if (!micros.empty()) {
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  }
}
BENCHMARK(StoreRequestRoundTrip)->UseRealTime()->Iterations(20000);

void HubThroughput(benchmark::State& state) {
  constexpr int32_t kSno = 40000;
  const int64_t batch = state.range(0);
  std::atomic<int64_t> handled{0};
  std::mutex mutex;
  std::condition_variable done;
  std::atomic<int64_t> target{0};
  ImAdapterCallback& hub = ImAdapterCallback::Instance();
  hub.RegisterSnoCallback(kSno, {0, [&](int32_t, Json::Value&) {
                                   if (handled.fetch_add(1) + 1 == target) {
                                     std::lock_guard<std::mutex> lock(mutex);
                                     done.notify_one();
                                   }
                                 }});
  hub.Start();
  const char kAnswer[] = "{\"rsp\": 1, \"sno\": 40000, \"result\": 0}";
  for (auto _ : state) {
    target = handled.load() + batch;
    for (int64_t i = 0; i < batch; ++i) hub.Post(kAnswer);
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return handled.load() >= target; });
  }
  hub.Stop();
  state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(HubThroughput)->UseRealTime()->Arg(1000);

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = (std::filesystem::temp_directory_path() / "im_bridge_bench").string();
  std::error_code ignored;
  std::filesystem::create_directories(folder + "/log", ignored);
  AdapterLogOpen(3, 5, (folder + "/log").c_str(), "im_adapter.log");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  AdapterLogClose();
  return 0;
}
