#include "tests/log/LogTestSupport.h"

#include <algorithm>
#include <vector>

#include "log/AdapterLog.h"
#include "log/LogClock.h"
#include "tests/util/ScratchFile.h"

namespace logtest {
namespace {

std::vector<platform::LocalTime> g_times;
std::size_t g_next = 0;

// Writes nothing once at the last time: a set clock may be read from any thread.
platform::LocalTime FakeNow() {
  return g_next + 1 < g_times.size() ? g_times[g_next++] : g_times.back();
}

}  // namespace

platform::LocalTime At(int year, int month, int day, int hour, int minute, int second,
                       int millisecond) {
  return platform::LocalTime{year, month, day, hour, minute, second, millisecond};
}

void SetClock(const platform::LocalTime& time) { SetClockSequence({time}); }

void SetClockSequence(const std::vector<platform::LocalTime>& times) {
  g_times = times;
  g_next = 0;
  log_internal::SetLogClockForTesting(&FakeNow);
}

void RestoreClock() { log_internal::SetLogClockForTesting(nullptr); }

std::string Ids() {
  return "[P:" + std::to_string(platform::ProcessId()) +
         "/T:" + std::to_string(platform::ThreadId()) + "]";
}

std::string Header(const std::string& time) { return "Logone(v3.0) Begin Time:" + time + "\r\n"; }

std::vector<std::string> ReadLines(const std::string& path) {
  const std::string text = testfiles::Read(path);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    end = end == std::string::npos ? text.size() : end + 2;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

void LogFixture::SetUp() {
  AdapterLogClose();
  SetClock(At(2026, 3, 14));
  scratch_ = std::make_unique<testfiles::ScratchDir>();
  root_ = scratch_->path();
}

void LogFixture::TearDown() {
  AdapterLogClose();
  RestoreClock();
  scratch_.reset();
}

std::string LogFixture::Path(const std::string& relative) const {
  std::string joined = root_ + platform::PathSeparator() + relative;
  std::replace(joined.begin(), joined.end(), '/', platform::PathSeparator());
  return joined;
}

}  // namespace logtest
