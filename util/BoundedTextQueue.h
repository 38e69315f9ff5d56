// A bounded first-in-first-out queue of heap texts (NUL-terminated buffers
// from malloc). The queue owns a text while it is queued; Take hands it over.
#pragma once

#include <atomic>
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
  //
  // While texts keep coming (the last take found one), Take and TakeFor watch
  // an empty queue for up to kSpin before they sleep, on a machine with more
  // than one processor: waking a sleeping thread costs tens of microseconds
  // on some machines, more than the next text of a busy exchange takes to
  // arrive. The watch yields the processor between looks; after a TakeFor
  // that timed out, takes sleep at once, so an idle queue costs no processor.
  char* Take();
  // Removes the first text; nullptr at once when the queue is empty.
  char* TryTake();
  // Removes the first text, waiting at most `timeout`; nullptr on time-out.
  char* TakeFor(std::chrono::milliseconds timeout);
  size_t Size() const;

 private:
  static constexpr std::chrono::microseconds kSpin{50};

  char* PopFrontLocked() REQUIRES(mutex_);
  // Watches the queue's count for up to `limit` (at most kSpin) while the
  // last take found a text; true once the queue is not empty.
  bool SpinWhileEmpty(std::chrono::microseconds limit) const;

  const int32_t capacity_;
  mutable Mutex mutex_;
  CondVar notEmpty_;
  CondVar notFull_;
  std::deque<char*> items_ GUARDED_BY(mutex_);
  // items_.size(), written under mutex_, read by the watch without it.
  std::atomic<size_t> count_{0};
  std::atomic<bool> lastTakeFound_{false};
};

}  // namespace util
