// Moving 10,000 files of 4 KB: the adapter's migration (command 4, to its
// "finish" notification) side by side with the shell moving the same set.
// Argument 0: within one filesystem, against `mv`. Argument 1: across devices
// (from the temporary folder to /dev/shm, or to IM_BENCH_SECOND_VOLUME),
// against `cp -p` and `rm` of the same files. Counters: "notifications" is the
// number of progress notifications the host received per run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/migration/MigrationCommands.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 10000;
constexpr size_t kFileSize = 4096;

fs::path SecondVolume() {
  const char* named = std::getenv("IM_BENCH_SECOND_VOLUME");
  return named != nullptr ? fs::path(named) : fs::path("/dev/shm");
}

// Scratch trees <root>/old/ReceiveFiles/Audio holding the files to move and
// <destination root>/new/ReceiveFiles/Audio, on the same or another volume.
class Tree {
 public:
  explicit Tree(bool acrossDevices)
      : root_(fs::temp_directory_path() / Name()),
        destinationRoot_(acrossDevices ? SecondVolume() / Name() : root_) {}
  ~Tree() {
    fs::remove_all(root_);
    fs::remove_all(destinationRoot_);
  }
  void Populate() {
    fs::remove_all(root_);
    fs::remove_all(destinationRoot_);
    fs::create_directories(Origin());
    const std::string content(kFileSize, 'x');
    for (int i = 0; i < kFiles; ++i) {
      std::ofstream(Origin() + "/file" + std::to_string(i), std::ios::binary) << content;
    }
  }
  std::string Root() const { return root_.string(); }
  std::string DestinationRoot() const { return destinationRoot_.string(); }
  std::string Origin() const { return Root() + "/old/ReceiveFiles/Audio"; }
  std::string Destination() const { return DestinationRoot() + "/new/ReceiveFiles/Audio"; }
  bool AllMoved() const {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(Destination())) {
      (void)entry;
      ++count;
    }
    return count == kFiles && fs::is_empty(Origin());
  }

 private:
  static std::string Name() { return "im_mig_bench_" + std::to_string(::rand()); }
  fs::path root_;
  fs::path destinationRoot_;
};

// Takes host texts until the run's status notification; returns the number of
// progress notifications seen, or -1 when the run did not finish.
int CollectUntilStatus() {
  int progress = 0;
  for (;;) {
    char* text = ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::seconds(60));
    if (text == nullptr) return -1;
    Json::Value message;
    ParseJsonText(text, message);
    std::free(text);
    const std::string type = message["param"]["notifyType"].asString();
    if (type == "progressNotify") ++progress;
    if (type == "statusNotify")
      return message["param"]["status"].asString() == "finish" ? progress : -1;
  }
}

void BM_AdapterMigration(benchmark::State& state) {
  Tree tree(state.range(0) != 0);
  int notifications = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tree.Populate();
    Json::Value request(Json::objectValue);
    request["cmd"] = 4;
    request["param"]["originReceiveFilesPath"] = tree.Root() + "/old";
    request["param"]["destinationReceiveFilesPath"] = tree.DestinationRoot() + "/new";
    request["param"]["account"] = "bench";
    request["param"]["migrationType"] = 0;
    const std::string text = Json::FastWriter().write(request);
    state.ResumeTiming();

    ImAdapterCmd::Instance().ProcessRecvMsg(text.c_str());
    notifications = CollectUntilStatus();
    WaitForMigrationThreadsFor(std::chrono::seconds(60));

    state.PauseTiming();
    if (notifications < 0 || !tree.AllMoved()) state.SkipWithError("migration did not finish");
    state.ResumeTiming();
  }
  state.counters["notifications"] = notifications;
}

// mv within one filesystem; cp -p and rm across devices.
void BM_Shell(benchmark::State& state) {
  const bool across = state.range(0) != 0;
  Tree tree(across);
  for (auto _ : state) {
    state.PauseTiming();
    tree.Populate();
    const std::string from = "'" + tree.Origin() + "'";
    const std::string to = "'" + tree.Destination() + "'";
    const std::string move = across ? "cp -p " + from + "/* " + to + "/ && rm " + from + "/*"
                                    : "mv " + from + "/* " + to + "/";
    const std::string command = "mkdir -p " + to + " && " + move;
    state.ResumeTiming();

    const int status = std::system(command.c_str());

    state.PauseTiming();
    if (status != 0 || !tree.AllMoved()) state.SkipWithError("the shell move failed");
    state.ResumeTiming();
  }
  state.counters["notifications"] = 0;
}

// Both benchmarks: within one filesystem (0) and across devices (1).
void Configure(benchmark::internal::Benchmark* bench) {
  bench->ArgName("acrossDevices")
      ->Arg(0)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(5);
}

BENCHMARK(BM_AdapterMigration)->Apply(Configure);
BENCHMARK(BM_Shell)->Apply(Configure);

}  // namespace

BENCHMARK_MAIN();
