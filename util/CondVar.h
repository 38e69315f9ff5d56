// A condition variable that waits with a util::Mutex held. Every wait takes
// the condition it waits for: a wake-up without it (spurious, or for another
// waiter) goes back to waiting. The condition runs with the mutex held; a
// lambda that reads guarded members says so:
//
//   ready_.Wait(mutex_, [this]() REQUIRES(mutex_) { return !items_.empty(); });
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "util/Mutex.h"
#include "util/ThreadAnnotations.h"

namespace util {

class CondVar {
 public:
  CondVar() = default;
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;

  // Waits until ready() holds; no bound: only for waits that another thread
  // is bound to end.
  template <typename Predicate>
  void Wait(Mutex& mutex, Predicate ready) REQUIRES(mutex) NO_THREAD_SAFETY_ANALYSIS {
    Borrowed native(mutex);
    cv_.wait(native.lock, ready);
  }

  // Waits until ready() holds or timeout passed; returns ready().
  template <typename Rep, typename Period, typename Predicate>
  bool WaitFor(Mutex& mutex, const std::chrono::duration<Rep, Period>& timeout, Predicate ready)
      REQUIRES(mutex) NO_THREAD_SAFETY_ANALYSIS {
    Borrowed native(mutex);
    return cv_.wait_for(native.lock, timeout, ready);
  }

  // Waits until ready() holds or the deadline passed; returns ready().
  template <typename Clock, typename Duration, typename Predicate>
  bool WaitUntil(Mutex& mutex, const std::chrono::time_point<Clock, Duration>& deadline,
                 Predicate ready) REQUIRES(mutex) NO_THREAD_SAFETY_ANALYSIS {
    Borrowed native(mutex);
    return cv_.wait_until(native.lock, deadline, ready);
  }

  void NotifyOne() { cv_.notify_one(); }
  void NotifyAll() { cv_.notify_all(); }

 private:
  // The caller's mutex as the native lock that the wait needs, handed back
  // still locked however the wait ends (a condition that throws included):
  // the caller's scoped lock owns it.
  struct Borrowed {
    explicit Borrowed(Mutex& mutex) : lock(mutex.mutex_, std::adopt_lock) {}
    ~Borrowed() { lock.release(); }
    std::unique_lock<std::mutex> lock;
  };

  std::condition_variable cv_;
};

}  // namespace util
