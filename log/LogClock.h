// The logger's clock: local time for time stamps, day folders and header lines.
//
// LogClockNow() is what every log line reads. It is cheap: the calendar
// conversion runs once per second per thread, and in between only the
// millisecond count is refreshed. Tests replace the clock with
// SetLogClockForTesting() to simulate a day change without waiting; that hook
// lives only in this internal header and is never exported from the adapter.
#pragma once

#include <cstddef>

#include "platform/Platform.h"

namespace log_internal {

using ClockFunction = platform::LocalTime (*)();

// The current local time (or the test clock's time when one is set; or the
// time pinned on this thread by a LineTimeScope). Any thread.
platform::LocalTime LogClockNow();

// Pins the time of one line on the calling thread for the scope's lifetime,
// so that the day folder chosen for the line and its time stamp agree even
// when the line is written across midnight (and the clock is read once).
// Scopes nest; each restores the previous pin.
class LineTimeScope {
 public:
  explicit LineTimeScope(const platform::LocalTime& time);
  ~LineTimeScope();
  LineTimeScope(const LineTimeScope&) = delete;
  LineTimeScope& operator=(const LineTimeScope&) = delete;

 private:
  platform::LocalTime time_;
  const platform::LocalTime* previous_;
};

// Installs `clock` in place of the system clock; nullptr restores the system
// clock. For tests only; not synchronised with loggers that are writing.
void SetLogClockForTesting(ClockFunction clock);

// Length of "YYYY-MM-DD hh:mm:ss.mmm" (without terminator).
constexpr std::size_t kTimeTextLength = 23;
// Length of "YYYY-MM-DD".
constexpr std::size_t kDateTextLength = 10;

// Writes "YYYY-MM-DD hh:mm:ss.mmm" into out (kTimeTextLength bytes, no
// terminator). Years outside 0..9999 are clamped so the width never changes.
void FormatLocalTime(const platform::LocalTime& time, char* out);

// A number that identifies the day of `time` (year, month and day).
int DayKey(const platform::LocalTime& time);

}  // namespace log_internal
