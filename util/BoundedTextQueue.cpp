#include "util/BoundedTextQueue.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace util {

BoundedTextQueue::BoundedTextQueue(int32_t capacity) : capacity_(capacity) {}

BoundedTextQueue::~BoundedTextQueue() {
  for (char* text : items_) std::free(text);
}

void BoundedTextQueue::Put(char* text) {
  {
    MutexLock lock(mutex_);
    notFull_.Wait(mutex_, [this]() REQUIRES(mutex_) {
      return capacity_ <= 0 || items_.size() < static_cast<size_t>(capacity_);
    });
    items_.push_back(text);
    count_.store(items_.size(), std::memory_order_release);
  }
  notEmpty_.NotifyAll();
}

char* BoundedTextQueue::PopFrontLocked() {
  char* text = items_.front();
  items_.pop_front();
  count_.store(items_.size(), std::memory_order_release);
  lastTakeFound_.store(true, std::memory_order_relaxed);
  return text;
}

bool BoundedTextQueue::SpinWhileEmpty(std::chrono::microseconds limit) const {
  static const bool worthIt = std::thread::hardware_concurrency() > 1;
  if (!worthIt || !lastTakeFound_.load(std::memory_order_relaxed)) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::min(limit, kSpin);
  while (count_.load(std::memory_order_acquire) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

char* BoundedTextQueue::Take() {
  SpinWhileEmpty(kSpin);
  char* text = nullptr;
  {
    MutexLock lock(mutex_);
    notEmpty_.Wait(mutex_, [this]() REQUIRES(mutex_) { return !items_.empty(); });
    text = PopFrontLocked();
  }
  notFull_.NotifyAll();
  return text;
}

char* BoundedTextQueue::TryTake() {
  char* text = nullptr;
  {
    MutexLock lock(mutex_);
    if (items_.empty()) return nullptr;
    text = PopFrontLocked();
  }
  notFull_.NotifyAll();
  return text;
}

char* BoundedTextQueue::TakeFor(std::chrono::milliseconds timeout) {
  SpinWhileEmpty(timeout);
  char* text = nullptr;
  {
    MutexLock lock(mutex_);
    if (!notEmpty_.WaitFor(mutex_, timeout,
                           [this]() REQUIRES(mutex_) { return !items_.empty(); })) {
      lastTakeFound_.store(false, std::memory_order_relaxed);
      return nullptr;
    }
    text = PopFrontLocked();
  }
  notFull_.NotifyAll();
  return text;
}

size_t BoundedTextQueue::Size() const {
  MutexLock lock(mutex_);
  return items_.size();
}

}  // namespace util
