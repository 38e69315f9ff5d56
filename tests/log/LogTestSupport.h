// Helpers shared by the logger tests: a scratch folder per test, a clock the
// test sets, and file reading.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"

namespace logtest {

// A local time at the given day and time of day.
platform::LocalTime At(int year, int month, int day, int hour = 12, int minute = 0, int second = 0,
                       int millisecond = 0);

// Makes LogClockNow() return `time` until RestoreClock() (or the next SetClock).
void SetClock(const platform::LocalTime& time);
void RestoreClock();
// Makes LogClockNow() return the times one after the other; the last repeats.
void SetClockSequence(const std::vector<platform::LocalTime>& times);

// "[P:<process id>/T:<this thread's id>]", as lines of this thread carry it.
std::string Ids();
// The header line of a file opened at the given local time text.
std::string Header(const std::string& time);

// The file's lines, each with its "\r\n" kept.
std::vector<std::string> ReadLines(const std::string& path);

// A fixture with a fresh scratch folder (removed afterwards), the test clock
// set to 2026-03-14 12:00:00.000, and the adapter's logger closed at both ends.
class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // scratch folder + "/" + relative (joined with the platform separator).
  std::string Path(const std::string& relative) const;

  std::unique_ptr<testfiles::ScratchDir> scratch_;
  std::string root_;
};

}  // namespace logtest
