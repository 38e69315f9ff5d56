// The library's locks: std::mutex and std::recursive_mutex with their contract
// spelled out for clang's thread-safety check (util/ThreadAnnotations.h), and
// the scoped lock that holds either. Header-only, so that every layer
// (platform and log included) can use it.
//
//   util::Mutex mutex_;
//   int count_ GUARDED_BY(mutex_);
//   void Add() { util::MutexLock lock(mutex_); ++count_; }
#pragma once

#include <mutex>

#include "util/ThreadAnnotations.h"

namespace util {

class CondVar;

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }
  bool TryLock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  friend class CondVar;  // waits on the native mutex
  std::mutex mutex_;
};

// For the one lock that its holder may take again (the logging lock: a
// logger's write runs inside a registry write).
class CAPABILITY("mutex") RecursiveMutex {
 public:
  RecursiveMutex() = default;
  RecursiveMutex(const RecursiveMutex&) = delete;
  RecursiveMutex& operator=(const RecursiveMutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }
  bool TryLock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

// Tag of the scoped lock that takes over a lock its caller already holds
// (after a successful TryLock).
struct AdoptLock {};

// Holds the lock from construction to destruction. Unlock and Lock let the
// holder step out of the lock for a while (running a task outside it); the
// destructor releases it only when it is held.
template <typename M>
class SCOPED_CAPABILITY ScopedLock {
 public:
  explicit ScopedLock(M& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
  ScopedLock(M& mutex, AdoptLock) REQUIRES(mutex) : mutex_(mutex) {}
  ~ScopedLock() RELEASE() {
    if (held_) mutex_.Unlock();
  }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  void Unlock() RELEASE() {
    mutex_.Unlock();
    held_ = false;
  }
  void Lock() ACQUIRE() {
    mutex_.Lock();
    held_ = true;
  }

 private:
  M& mutex_;
  bool held_ = true;
};

using MutexLock = ScopedLock<Mutex>;
using RecursiveMutexLock = ScopedLock<RecursiveMutex>;

}  // namespace util
