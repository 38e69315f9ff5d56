// Lines per second of the adapter's logger as the host opens it (threshold 2,
// day folder, flush per line, rotation at 5 MB), next to plain fwrite+fflush.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/log/BenchLogSupport.h"
#include "log/AdapterLog.h"

namespace {

void BM_AdapterLogInfoLine(benchmark::State& state) {
  const std::string folder = logbench::MakeScratchFolder("adapter");
  const std::string logFolder = folder + "/log";
  AdapterLogOpen(3, 5, logFolder.c_str(), "im_adapter.log");
  for (auto _ : state) {
    AdapterLog("", kLogInf, "ImAdapterCmd::ProcessRecvMsg", __FILE__, __LINE__, "%s",
               logbench::kLineText);
  }
  AdapterLogClose();
  logbench::RemoveScratchFolder(folder);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AdapterLogInfoLine);

// A debug line below the threshold: the cost a disabled line adds to a caller.
void BM_AdapterLogFilteredDebugLine(benchmark::State& state) {
  const std::string folder = logbench::MakeScratchFolder("filtered");
  const std::string logFolder = folder + "/log";
  AdapterLogOpen(3, 5, logFolder.c_str(), "im_adapter.log");
  for (auto _ : state) {
    IMLOG(kLogDbg, "ImAdapterCmd::ProcessRecvMsg", logbench::kLineText);
  }
  AdapterLogClose();
  logbench::RemoveScratchFolder(folder);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AdapterLogFilteredDebugLine);

// The floor: one fwrite and one fflush per line of the same length.
void BM_FwriteFflushLine(benchmark::State& state) {
  const std::string folder = logbench::MakeScratchFolder("fwrite");
  std::FILE* file = std::fopen((folder + "/log/plain.log").c_str(), "ab");
  const std::string line = std::string("[2026-03-14 12:00:00.000][P:1234/T:1234][Inf]") +
                           "[BenchAdapterLog.cpp:20 ImAdapterCmd::ProcessRecvMsg]" +
                           logbench::kLineText + "\r\n";
  for (auto _ : state) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  }
  std::fclose(file);
  logbench::RemoveScratchFolder(folder);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FwriteFflushLine);

}  // namespace

BENCHMARK_MAIN();
