#include "log/LogClock.h"

#include <atomic>
#include <cstdint>

namespace log_internal {
namespace {

std::atomic<ClockFunction> g_testClock{nullptr};

// Last calendar conversion of this thread, keyed by the Unix second it belongs to.
struct SecondCache {
  int64_t unixSecond = -1;
  platform::LocalTime time;
};

thread_local SecondCache t_cache;
thread_local const platform::LocalTime* t_pinned = nullptr;

void PutDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

int Clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

// The system clock: one cheap clock read per call; the conversion to local
// calendar time is redone only when the second changes. The cache is filled
// only when the second did not change during the conversion, so a cached
// entry always belongs to its key.
platform::LocalTime SystemNow() {
  const int64_t millis = platform::NowUnixMillis();
  const int64_t second = millis / 1000;
  if (second == t_cache.unixSecond) {
    platform::LocalTime time = t_cache.time;
    time.millisecond = static_cast<int>(millis % 1000);
    return time;
  }
  platform::LocalTime time = platform::NowLocal();
  if (platform::NowUnixMillis() / 1000 == second) {
    t_cache.unixSecond = second;
    t_cache.time = time;
  }
  return time;
}

}  // namespace

platform::LocalTime LogClockNow() {
  if (t_pinned != nullptr) return *t_pinned;
  ClockFunction clock = g_testClock.load(std::memory_order_acquire);
  return clock != nullptr ? clock() : SystemNow();
}

LineTimeScope::LineTimeScope(const platform::LocalTime& time)
    : time_(time), previous_(t_pinned) {
  t_pinned = &time_;
}

LineTimeScope::~LineTimeScope() { t_pinned = previous_; }

void SetLogClockForTesting(ClockFunction clock) {
  g_testClock.store(clock, std::memory_order_release);
}

void FormatLocalTime(const platform::LocalTime& time, char* out) {
  PutDigits(out, Clamp(time.year, 0, 9999), 4);
  out[4] = '-';
  PutDigits(out + 5, Clamp(time.month, 0, 99), 2);
  out[7] = '-';
  PutDigits(out + 8, Clamp(time.day, 0, 99), 2);
  out[10] = ' ';
  PutDigits(out + 11, Clamp(time.hour, 0, 99), 2);
  out[13] = ':';
  PutDigits(out + 14, Clamp(time.minute, 0, 99), 2);
  out[16] = ':';
  PutDigits(out + 17, Clamp(time.second, 0, 99), 2);
  out[19] = '.';
  PutDigits(out + 20, Clamp(time.millisecond, 0, 999), 3);
}

int DayKey(const platform::LocalTime& time) {
  return time.year * 10000 + time.month * 100 + time.day;
}

}  // namespace log_internal
