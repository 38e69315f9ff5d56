// The reference: spdlog's basic file sink, flushing after every line.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <string>

#include "bench/log/BenchLogSupport.h"

namespace {

void BM_SpdlogBasicFileFlushEveryLine(benchmark::State& state) {
  const std::string folder = logbench::MakeScratchFolder("spdlog");
  auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(folder + "/log/spdlog.log");
  spdlog::logger logger("bench", sink);
  logger.set_level(spdlog::level::info);
  logger.flush_on(spdlog::level::info);
  for (auto _ : state) {
    logger.info("{}", logbench::kLineText);
  }
  logbench::RemoveScratchFolder(folder);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SpdlogBasicFileFlushEveryLine);

}  // namespace
