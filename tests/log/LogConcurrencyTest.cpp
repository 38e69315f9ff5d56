// Many threads logging at once: every line arrives whole, none is lost, and
// each thread's lines keep their order, through rotation and reopening.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
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

// Releases all waiting threads at once.
class StartGate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Every line of every file under root; files in name order, which puts a
// day's numbered copies (app_10.log … app_1.log) and its current file apart,
// so order is checked per thread by sequence numbers, not by file order.
std::vector<std::string> AllLines(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  std::vector<std::string> lines;
  for (const std::string& file : files) {
    for (std::string& line : logtest::ReadLines(file)) lines.push_back(std::move(line));
  }
  return lines;
}

// Checks that every line is a header or a whole line "t<thread> n<number>",
// that each (thread, number) appears exactly once, and returns how many did.
void ExpectWholeAndComplete(const std::vector<std::string>& lines, int threads, int perThread) {
  static const std::regex kLine(
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\]\[P:\d+/T:\d+\]\[Inf\]\[Worker\.cpp:9 Test::Worker\]t(\d+) n(\d+) x+\r\n)");
  static const std::regex kHeader(
      R"(Logone\(v3\.0\) Begin Time:\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\r\n)");
  std::map<int, std::vector<int>> seen;
  for (const std::string& line : lines) {
    std::smatch match;
    if (std::regex_match(line, match, kLine)) {
      seen[std::stoi(match[1])].push_back(std::stoi(match[2]));
    } else {
      ASSERT_TRUE(std::regex_match(line, kHeader)) << "broken line: " << line;
    }
  }
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(threads));
  for (auto& [thread, numbers] : seen) {
    std::sort(numbers.begin(), numbers.end());
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(perThread)) << "thread " << thread;
    for (int i = 0; i < perThread; ++i) ASSERT_EQ(numbers[i], i) << "thread " << thread;
  }
}

void RunWriters(const std::function<void(int thread, int number)>& write) {
  StartGate gate;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&gate, &write, t] {
      gate.Wait();
      for (int n = 0; n < kLinesPerThread; ++n) write(t, n);
    });
  }
  gate.Open();
  for (std::thread& worker : workers) worker.join();
}

class LogConcurrencyTest : public logtest::LogFixture {
 protected:
  void SetUp() override {
    LogFixture::SetUp();
    logtest::RestoreClock();  // the real clock: its per-thread cache is part of the test
  }
};

TEST_F(LogConcurrencyTest, LinesOfManyThreadsThroughRotation) {
  LoggerSettings settings;
  settings.path = Path("log/app.log");
  settings.maxSizeKb = 64;
  settings.backupCount = 100;  // nothing is deleted: every line must be found
  settings.thresholdLevel = 2;
  const uint32_t id = LoggerRegistry::Instance().Create(settings);
  ASSERT_NE(id, 0u);
  const std::string padding(40, 'x');
  RunWriters([&](int t, int n) {
    LoggerRegistry::Instance().Write(id, "", kLogInf, "Test::Worker", "/src/Worker.cpp", 9,
                                     "t%d n%d %s", t, n, padding.c_str());
  });
  LoggerRegistry::Instance().Remove(id);
  const std::vector<std::string> lines = AllLines(root_);
  ExpectWholeAndComplete(lines, kThreads, kLinesPerThread);
}

TEST_F(LogConcurrencyTest, ReopeningWhileOthersLogBreaksNoLine) {
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
  // that arrived must be whole.
  static const std::regex kWhole(R"((\[.*\]t\d+ n\d+ xx|Logone\(v3\.0\) Begin Time:.*)\r\n)");
  const std::vector<std::string> lines = AllLines(root_);
  EXPECT_GT(lines.size(), 0u);
  for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, kWhole)) << line;
}

}  // namespace
