// The host boundary: round trip of a command through the exports, routing
// overhead, and outbound queue throughput.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "im_adapter/im_adapter.h"
#include "im_adapter/im_plugin.h"
#include "util/MessageQueuePair.h"

namespace {

using Clock = std::chrono::steady_clock;

void ReportLatencies(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

// A command-3 request dispatched to target 5 and its reply pulled by the host.
void BM_HostRoundTripCommand3(benchmark::State& state) {
  IMAdapterStartup();
  const std::string request =
      "{\"cmd\":3,\"sno\":1,\"param\":{\"currentTimestamp\":\"1700000000000\","
      "\"msgList\":[{\"groupId\":\"bench\",\"flowLimitCount\":-1}]}}";
  std::vector<double> micros;
  micros.reserve(1 << 16);
  for (auto _ : state) {
    auto start = Clock::now();
    IMAdapterDispatchMsg(request.c_str(), static_cast<uint32_t>(request.size()), 5);
    char* reply = nullptr;
    IMAdapterSendMsgExport(&reply);
    auto stop = Clock::now();
    IMAdapterFreeMsg(reply);
    micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
  }
  ReportLatencies(state, micros);
  IMAdapterShutDown();
}
BENCHMARK(BM_HostRoundTripCommand3)->UseRealTime();

const char kPluginText[] = "{\"cmd\":135680,\"param\":{\"content\":\"hello\"},\"sno\":1}";

// Routing of a host text to the IM service through the export ...
void BM_RouteThroughAdapter(benchmark::State& state) {
  const uint32_t target = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    IMAdapterDispatchMsg(kPluginText, sizeof kPluginText - 1, target);
  }
}
BENCHMARK(BM_RouteThroughAdapter)->Arg(1)->Arg(2)->Arg(3);

// ... side by side with calling the plugin's entry point directly.
void BM_CallPluginDirectly(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) {
    switch (which) {
      case 1: IMRecvMsgImport(kPluginText, sizeof kPluginText - 1); break;
      case 2: SqliteRecvMsgImport(kPluginText, sizeof kPluginText - 1); break;
      default: OffLineFileRecvMsgImport(kPluginText, sizeof kPluginText - 1); break;
    }
  }
}
BENCHMARK(BM_CallPluginDirectly)->Arg(1)->Arg(2)->Arg(3);

// 100,000 outbound texts posted by one thread and pulled by a host thread.
void BM_OutboundQueueThroughput(benchmark::State& state) {
  const int kTexts = 100000;
  const std::string text = "{\n\t\"description\" : \"AppendMsgNotify\"\n}\n";
  for (auto _ : state) {
    util::MessageQueuePair queues;
    long received = 0;
    std::thread host([&] {
      for (int i = 0; i < kTexts; ++i) {
        char* t = queues.TakeOutbound();
        received += t != nullptr;
        std::free(t);
      }
    });
    for (int i = 0; i < kTexts; ++i) queues.PostToHost(text.data(), text.size());
    host.join();
    if (received != kTexts) state.SkipWithError("texts lost");
  }
  state.SetItemsProcessed(state.iterations() * kTexts);
}
BENCHMARK(BM_OutboundQueueThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
