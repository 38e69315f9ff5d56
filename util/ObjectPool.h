// A process-wide stock of objects that cost more to build than to use (JSON
// readers and writers): a caller takes one for a single use and gives it back,
// so that objects are built only when every stocked one is in use.
//
// This takes the place of per-thread caches. A thread_local object with a
// destructor is not safe in the Windows build: MinGW's emulated thread-local
// storage of an exiting thread is freed before the thread's thread_local
// destructors run, so each such destructor works on freed memory and corrupts
// the heap whenever an adapter thread ends (the hub's task thread at shut-down,
// for one).
//
// Thread-safety: Take and the Lease's release may run on any thread at once.
// Ownership: the pool owns the idle objects; a Lease owns its object until it
// is destroyed. At most kMaxIdle objects are kept; more are deleted on return.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "util/Mutex.h"

template <typename T>
class ObjectPool {
 public:
  using Factory = std::unique_ptr<T> (*)();
  static constexpr size_t kMaxIdle = 16;

  explicit ObjectPool(Factory make) : make_(make) {}
  ObjectPool(const ObjectPool&) = delete;
  ObjectPool& operator=(const ObjectPool&) = delete;

  // One object, given back to its pool when the lease ends.
  class Lease {
   public:
    Lease(ObjectPool* pool, std::unique_ptr<T> object) : pool_(pool), object_(std::move(object)) {}
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { pool_->Return(std::move(object_)); }
    T& operator*() const { return *object_; }
    T* operator->() const { return object_.get(); }

   private:
    ObjectPool* pool_;
    std::unique_ptr<T> object_;
  };

  // An idle object, or a new one from the factory when none is idle. The
  // factory's exceptions pass through (nothing is taken then).
  Lease Take() {
    {
      util::MutexLock lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<T> object = std::move(idle_.back());
        idle_.pop_back();
        return Lease(this, std::move(object));
      }
    }
    return Lease(this, make_());
  }

 private:
  void Return(std::unique_ptr<T> object) {
    if (!object) return;
    util::MutexLock lock(mutex_);
    if (idle_.size() < kMaxIdle) idle_.push_back(std::move(object));
  }

  const Factory make_;
  util::Mutex mutex_;
  std::vector<std::unique_ptr<T>> idle_ GUARDED_BY(mutex_);
};
