#include "util/BoundedTextQueue.h"

#include <cstdlib>

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
  }
  notEmpty_.NotifyAll();
}

char* BoundedTextQueue::PopFrontLocked() {
  char* text = items_.front();
  items_.pop_front();
  return text;
}

char* BoundedTextQueue::Take() {
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
  char* text = nullptr;
  {
    MutexLock lock(mutex_);
    if (!notEmpty_.WaitFor(mutex_, timeout,
                           [this]() REQUIRES(mutex_) { return !items_.empty(); })) {
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
