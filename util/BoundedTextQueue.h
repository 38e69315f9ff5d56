// A bounded first-in-first-out queue of heap texts (NUL-terminated buffers
// from malloc). The queue owns a text while it is queued; Take hands it over.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

#include "util/CondVar.h"
#include "util/Mutex.h"

namespace util {

class BoundedTextQueue {
 public:
  // capacity <= 0 means no bound.
  explicit BoundedTextQueue(int32_t capacity);
  ~BoundedTextQueue();  // frees the texts still queued
  BoundedTextQueue(const BoundedTextQueue&) = delete;
  BoundedTextQueue& operator=(const BoundedTextQueue&) = delete;

  // Appends text, waiting while the queue is full. Takes ownership.
  void Put(char* text);
  // Removes the first text, waiting while the queue is empty.
  char* Take();
  // Removes the first text; nullptr at once when the queue is empty.
  char* TryTake();
  // Removes the first text, waiting at most `timeout`; nullptr on time-out.
  char* TakeFor(std::chrono::milliseconds timeout);
  size_t Size() const;

 private:
  char* PopFrontLocked() REQUIRES(mutex_);

  const int32_t capacity_;
  mutable Mutex mutex_;
  CondVar notEmpty_;
  CondVar notFull_;
  std::deque<char*> items_ GUARDED_BY(mutex_);
};

}  // namespace util
