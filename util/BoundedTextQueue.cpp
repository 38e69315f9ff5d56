#include "util/BoundedTextQueue.h"

#include <cstdlib>

namespace util {

BoundedTextQueue::BoundedTextQueue(int32_t capacity) : capacity_(capacity) {}

BoundedTextQueue::~BoundedTextQueue() {
  for (char* text : items_) std::free(text);
}

void BoundedTextQueue::Put(char* text) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    notFull_.wait(lock, [this] {
      return capacity_ <= 0 || items_.size() < static_cast<size_t>(capacity_);
    });
    items_.push_back(text);
  }
  notEmpty_.notify_all();
}

char* BoundedTextQueue::PopFront_unlocked() {
  char* text = items_.front();
  items_.pop_front();
  return text;
}

char* BoundedTextQueue::Take() {
  char* text = nullptr;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    notEmpty_.wait(lock, [this] { return !items_.empty(); });
    text = PopFront_unlocked();
  }
  notFull_.notify_all();
  return text;
}

char* BoundedTextQueue::TryTake() {
  char* text = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (items_.empty()) return nullptr;
    text = PopFront_unlocked();
  }
  notFull_.notify_all();
  return text;
}

char* BoundedTextQueue::TakeFor(std::chrono::milliseconds timeout) {
  char* text = nullptr;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!notEmpty_.wait_for(lock, timeout, [this] { return !items_.empty(); })) return nullptr;
    text = PopFront_unlocked();
  }
  notFull_.notify_all();
  return text;
}

size_t BoundedTextQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

}  // namespace util
