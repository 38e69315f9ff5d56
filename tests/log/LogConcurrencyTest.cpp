// Many threads logging at once: every line arrives whole, none is lost, and
// each thread's lines keep their order, through rotation and reopening.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <numeric>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "log/AdapterLog.h"
#include "log/LoggerRegistry.h"
#include "tests/log/LogTestSupport.h"

namespace {

constexpr int kThreads = 4;
constexpr int kLinesPerThread = 2000;

// Every line of every file under root, in no particular file order: a day's
// numbered copies are not in line order anyway, so order is checked per thread
// by sequence numbers.
std::vector<std::string> AllLines(const std::string& root) {
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::vector<std::string> more = logtest::ReadLines(entry.path().string());
    lines.insert(lines.end(), more.begin(), more.end());
  }
  return lines;
}

void RunWriters(const std::function<void(int thread, int number)>& write) {
  // The writers start together, once all of them are up.
  std::atomic<int> ready{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&ready, &write, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int n = 0; n < kLinesPerThread; ++n) write(t, n);
    });
  }
  for (std::thread& worker : workers) worker.join();
}

// Each test runs on the real clock: its per-thread cache is part of the test.
using LogConcurrencyTest = logtest::LogFixture;

TEST_F(LogConcurrencyTest, LinesOfManyThreadsThroughRotation) {
  logtest::RestoreClock();
  // 100 copies: nothing is deleted, so every line must be found.
  const uint32_t id =
      LoggerRegistry::Instance().Create(LoggerSettings{Path("log/app.log"), 64, 100, 2});
  ASSERT_NE(id, 0u);
  const std::string padding(40, 'x');
  RunWriters([&](int t, int n) {
    LoggerRegistry::Instance().Write(id, "", kLogInf, "Test::Worker", "/src/Worker.cpp", 9,
                                     "t%d n%d %s", t, n, padding.c_str());
  });
  LoggerRegistry::Instance().Remove(id);
  // Every line is a header or a whole line "t<thread> n<number>", and each
  // (thread, number) appears exactly once.
  static const std::regex kLine(
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\]\[P:\d+/T:\d+\]\[Inf\]\[Worker\.cpp:9 Test::Worker\]t(\d+) n(\d+) x+\r\n)");
  static const std::regex kHeader(
      R"(Logone\(v3\.0\) Begin Time:\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\r\n)");
  std::map<int, std::vector<int>> seen;
  for (const std::string& line : AllLines(scratch_.path())) {
    std::smatch match;
    if (std::regex_match(line, match, kLine)) {
      seen[std::stoi(match[1])].push_back(std::stoi(match[2]));
    } else {
      ASSERT_TRUE(std::regex_match(line, kHeader)) << "broken line: " << line;
    }
  }
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kThreads));
  std::vector<int> all(kLinesPerThread);
  std::iota(all.begin(), all.end(), 0);
  for (auto& [thread, numbers] : seen) {
    std::sort(numbers.begin(), numbers.end());
    EXPECT_TRUE(numbers == all) << "thread " << thread << " wrote " << numbers.size() << " lines";
  }
}

TEST_F(LogConcurrencyTest, ReopeningWhileOthersLogBreaksNoLine) {
  logtest::RestoreClock();
  ASSERT_EQ(AdapterLogOpen(3, 5, Path("a/log").c_str(), "im_adapter.log"), 0);
  std::atomic<int> written{0};
  std::thread reopener([&] {
    // Switch folders a few times while the writers run, waiting on progress.
    for (int round = 1; round <= 6; ++round) {
      while (written.load() < round * kThreads * kLinesPerThread / 8) std::this_thread::yield();
      const std::string folder = Path(round % 2 == 0 ? "a/log" : "b/log");
      AdapterLogOpen(3, 5, folder.c_str(), "im_adapter.log");
      AdapterLogConfigure(3, 1);
    }
  });
  RunWriters([&](int t, int n) {
    AdapterLog("", kLogInf, "Test::Worker", "/src/Worker.cpp", 9, "t%d n%d xx", t, n);
    written.fetch_add(1);
  });
  reopener.join();
  AdapterLogClose();
  // Lines written while no logger was open are lost by design; every line
  // that arrived must be whole (each open writes its version line).
  static const std::regex kWhole(R"((\[.*\]t\d+ n\d+ xx|\[.* AdapterLogOpen\]im_adapter [\d.]+|)"
                                 R"(Logone\(v3\.0\) Begin Time:.*)\r\n)");
  const std::vector<std::string> lines = AllLines(scratch_.path());
  EXPECT_GT(lines.size(), 0u);
  for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, kWhole)) << line;
}

}  // namespace
