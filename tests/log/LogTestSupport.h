// Helpers shared by the logger tests: a scratch folder per test, a clock the
// test sets, and file reading.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/AdapterLog.h"
#include "log/LogClock.h"
#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"

namespace logtest {

inline std::vector<platform::LocalTime> g_times;
inline std::size_t g_next = 0;

// A local time at the given day and time of day.
inline platform::LocalTime At(int year, int month, int day, int hour = 12, int minute = 0,
                              int second = 0, int millisecond = 0) {
  return {year, month, day, hour, minute, second, millisecond};
}

// Makes LogClockNow() return the times one after the other; the last repeats,
// and is read without writing: a set clock may be read from any thread.
inline void SetClockSequence(const std::vector<platform::LocalTime>& times) {
  g_times = times;
  g_next = 0;
  log_internal::SetLogClockForTesting(
      [] { return g_next + 1 < g_times.size() ? g_times[g_next++] : g_times.back(); });
}

// Makes LogClockNow() return `time` until RestoreClock() (or the next SetClock).
inline void SetClock(const platform::LocalTime& time) { SetClockSequence({time}); }
inline void RestoreClock() { log_internal::SetLogClockForTesting(nullptr); }

// The header line of a file opened at the given local time text.
inline std::string Header(const std::string& time) {
  return "Logone(v3.0) Begin Time:" + time + "\r\n";
}

// The header of a file opened at the fixture's time.
inline const std::string kHeader = Header("2026-03-14 12:00:00.000");

// "[P:<process id>/T:<this thread's id>]", as lines of this thread carry it.
inline std::string Ids() {
  return "[P:" + std::to_string(platform::ProcessId()) +
         "/T:" + std::to_string(platform::ThreadId()) + "]";
}

// The file's lines, each with its "\r\n" kept.
inline std::vector<std::string> ReadLines(const std::string& path) {
  const std::string text = testfiles::Read(path);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < text.size(); start = end) {
    end = text.find("\r\n", start);
    end = end == std::string::npos ? text.size() : end + 2;
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// A fixture with a fresh scratch folder (removed afterwards), the test clock
// set to 2026-03-14 12:00:00.000, and the adapter's logger closed at both ends.
class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    AdapterLogClose();
    SetClock(At(2026, 3, 14));
  }
  void TearDown() override {
    AdapterLogClose();
    RestoreClock();
  }
  // scratch folder + "/" + relative (joined with the platform separator).
  std::string Path(const std::string& relative) const {
    std::string joined = scratch_.path() + platform::PathSeparator() + relative;
    std::replace(joined.begin(), joined.end(), '/', platform::PathSeparator());
    return joined;
  }

  const testfiles::ScratchDir scratch_;
};

}  // namespace logtest
