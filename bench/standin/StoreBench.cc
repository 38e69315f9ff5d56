// The stand-in store answering a query of 50 message ids on a database of
// 100,000 records: the store's own handling next to the whole round trip
// through the plugin's entry point, worker thread and callback.
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "im_adapter/im_plugin.h"
#include "plugins/common/StandInJson.h"
#include "plugins/hostlink/StandInHost.h"
#include "plugins/standin/StandInStore.h"

namespace {

const int kRecords = 100000;
const int kIdsPerQuery = 50;

std::string DatabasePath() {
  return (std::filesystem::temp_directory_path() / "im_standin_bench_store.db").string();
}

Json::Value MakeRecord(int i) {
  Json::Value record;
  record["servermessageid"] = "srv-" + std::to_string(i);
  record["clientmessageid"] = "cli-" + std::to_string(i);
  record["convid"] = "conv-" + std::to_string(i % 500);
  record["chattype"] = i % 2;
  record["mediatype"] = 0;
  record["content"] =
      "<r><n>abcdefghijkl</n><g>0</g><c>&lt;imbody&gt;&lt;content&gt;&lt;![CDATA[message number " +
      std::to_string(i) + " with some ordinary text]]&gt;&lt;/content&gt;&lt;/imbody&gt;</c></r>";
  record["originaccount"] = "user" + std::to_string(i % 97);
  record["peername"] = "Peer " + std::to_string(i % 97);
  record["utcstamp"] = std::to_string(1700000000000LL + i * 1000LL);
  record["timestamp"] = record["utcstamp"];
  record["status"] = 1;
  return record;
}

// Fills a fresh database once per process.
const std::string& FilledDatabase() {
  static const std::string path = [] {
    const std::string file = DatabasePath();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((file + suffix).c_str());
    standin::StandInStore store;
    std::string error;
    if (!store.OpenAt(file, &error)) std::fprintf(stderr, "bench: %s\n", error.c_str());
    std::vector<Json::Value> records;
    for (int i = 0; i < kRecords; ++i) records.push_back(MakeRecord(i));
    if (!store.AddRecords(records, &error)) std::fprintf(stderr, "bench: %s\n", error.c_str());
    return file;
  }();
  return path;
}

// 50 ids spread over the database, a fresh set for every call.
std::string RandomIds(std::mt19937* random) {
  std::uniform_int_distribution<int> pick(0, kRecords - 1);
  std::string ids;
  for (int i = 0; i < kIdsPerQuery; ++i) {
    if (i) ids += ',';
    ids += (i % 2 ? "cli-" : "srv-") + std::to_string(pick(*random));
  }
  return ids;
}

Json::Value Query(const std::string& ids, int sno) {
  Json::Value request;
  request["cmd"] = 57;
  request["description"] = "zeb_sqlite_query_historyrecord";
  request["sno"] = sno;
  request["adapter"] = 1;
  Json::Value& info = request["param"]["_multimatchinfo"];
  info["datalist"][0]["keytype"] = 3;
  info["datalist"][0]["match_value"] = ids;
  info["datalen"] = 1;
  info["operationtype"] = 3;
  return request;
}

void BM_Query50_StoreHandle(benchmark::State& state) {
  standin::StandInStore store;
  std::string error;
  store.OpenAt(FilledDatabase(), &error);
  StandInSetOption("IM_STORE_DB", FilledDatabase().c_str());
  std::mt19937 random(7);
  size_t found = 0;
  for (auto _ : state) {
    const std::string answer = standin::WriteCompact(store.Handle(Query(RandomIds(&random), 1)));
    for (size_t at = answer.find("\"recordid\""); at != std::string::npos;
         at = answer.find("\"recordid\"", at + 1)) {
      ++found;
    }
  }
  state.counters["records/query"] =
      benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
}

struct Waiter {
  std::mutex lock;
  std::condition_variable changed;
  int answers = 0;
  size_t records = 0;
};

Waiter& TheWaiter() {
  static Waiter waiter;
  return waiter;
}

// Counts the records of an answer by their "recordid" members, without parsing
// it, so that the figure is the store's and not the reader's.
int OnAnswer(const char* text) {
  size_t records = 0;
  for (const char* p = std::strstr(text, "\"recordid\""); p != nullptr;
       p = std::strstr(p + 1, "\"recordid\"")) {
    ++records;
  }
  std::lock_guard<std::mutex> guard(TheWaiter().lock);
  ++TheWaiter().answers;
  TheWaiter().records += records;
  TheWaiter().changed.notify_all();
  return 0;
}

void BM_Query50_EntryPointRoundTrip(benchmark::State& state) {
  StandInSetOption("IM_STORE_DB", FilledDatabase().c_str());
  SqliteSetAdapterCallback(&OnAnswer);
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  std::mt19937 random(7);
  int sent = 0;
  {
    // The function runs several times; count this run's answers only.
    std::lock_guard<std::mutex> guard(TheWaiter().lock);
    TheWaiter().answers = 0;
    TheWaiter().records = 0;
  }
  for (auto _ : state) {
    const std::string text = Json::writeString(writer, Query(RandomIds(&random), ++sent));
    SqliteRecvMsgImport(text.data(), static_cast<uint32_t>(text.size()));
    std::unique_lock<std::mutex> guard(TheWaiter().lock);
    TheWaiter().changed.wait(guard, [&] { return TheWaiter().answers == sent; });
  }
  state.counters["records/query"] = benchmark::Counter(static_cast<double>(TheWaiter().records),
                                                       benchmark::Counter::kAvgIterations);
  SqliteSetAdapterCallback(nullptr);
}

}  // namespace

BENCHMARK(BM_Query50_StoreHandle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Query50_EntryPointRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
