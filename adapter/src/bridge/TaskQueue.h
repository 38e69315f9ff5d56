// A named worker thread that runs queued tasks one at a time, in the order
// they were put, with a bounded queue.
//
// Bounds: while the worker is stopped (before Start, after Close) nothing is
// queued: a task put then is dropped and counted, and the next Start writes one
// error line with the count. While it runs, at most `capacity` tasks wait; a
// put into a full queue drops the oldest waiting task (an error line when the
// queue first overflows, and one with the count once the worker catches up).
// Put therefore never waits: the threads that put (plugin threads) are never
// held by this queue.
//
// Thread-safety: Put may be called from any thread at any time. Start and
// Close are serialised against each other and must not be called from a task.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "util/CondVar.h"
#include "util/Mutex.h"

class TaskQueue {
 public:
  using Task = std::function<void()>;

  // What became of every task put so far (each is counted exactly once: run,
  // dropped, or still waiting).
  struct Counts {
    uint64_t run = 0;
    uint64_t dropped = 0;
    size_t waiting = 0;
  };

  TaskQueue(std::string name, size_t capacity);
  ~TaskQueue();
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;

  // Starts the worker thread. Does nothing when it already runs. False (with
  // an error line) when the thread cannot be created.
  bool Start();

  // Queues a task while the worker runs; drops it (counted) while it is
  // stopped. A full queue loses its oldest task. A task that throws is logged;
  // the worker goes on. False when the task was dropped because the worker is
  // stopped; true when it was queued (a queued task may still be dropped
  // unrun: pushed out of a full queue, or still waiting at Close).
  bool Put(Task task);

  // Stops the worker after the task it is running and joins it. Tasks not yet
  // run are dropped (counted with the stopped period). Does nothing when not
  // running. Called from a task of this queue it is refused with an error line.
  void Close();

  // True from the moment Close() is called until the next Start().
  bool Closing() const;

  // True on this queue's worker thread.
  bool IsWorkerThread() const;

  Counts GetCounts() const;

 private:
  void Run();
  void RunOne(Task& task);
  void ReportOverflowLocked() REQUIRES(mutex_);

  const std::string name_;
  const size_t capacity_;
  util::Mutex lifecycleMutex_;  // serialises Start and Close
  std::thread worker_ GUARDED_BY(lifecycleMutex_);
  mutable util::Mutex mutex_;  // guards everything below
  util::CondVar wake_;
  std::deque<Task> tasks_ GUARDED_BY(mutex_);
  bool accepting_ GUARDED_BY(mutex_) = false;  // the worker runs and takes tasks
  bool closing_ GUARDED_BY(mutex_) = false;
  std::thread::id workerId_ GUARDED_BY(mutex_);
  uint64_t run_ GUARDED_BY(mutex_) = 0;
  uint64_t dropped_ GUARDED_BY(mutex_) = 0;
  uint64_t droppedWhileStopped_ GUARDED_BY(mutex_) = 0;  // in the current stopped period
  uint64_t droppedOverflow_ GUARDED_BY(mutex_) = 0;      // since the queue last overflowed
};
