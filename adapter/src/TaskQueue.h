// A named worker thread that runs queued tasks one at a time, in the order
// they were put.
//
// Thread-safety: Put may be called from any thread at any time. Start and
// Close are serialised against each other and must not be called from a task.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TaskQueue {
 public:
  using Task = std::function<void()>;

  explicit TaskQueue(std::string name);
  ~TaskQueue();
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;

  // Starts the worker thread. Does nothing when it already runs. False (with
  // an error line) when the thread cannot be created.
  bool Start();

  // Queues a task. Tasks put while the queue is closed are kept and run after
  // the next Start(). A task that throws is logged; the worker goes on.
  void Put(Task task);

  // Stops the worker after the task it is running and joins it. Tasks not yet
  // run stay queued for the next Start(). Does nothing when not running.
  // Called from a task of this queue it is refused with an error line.
  void Close();

  // True from the moment Close() is called until the next Start().
  bool Closing() const { return closing_.load(std::memory_order_acquire); }

  // True on this queue's worker thread.
  bool IsWorkerThread() const;

 private:
  void Run();
  void RunOne(Task& task) const;

  const std::string name_;
  std::mutex lifecycleMutex_;  // serialises Start and Close
  std::thread worker_;
  mutable std::mutex mutex_;   // guards tasks_ and workerId_
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  // Set by Close, changed under mutex_; read without it between the tasks of a batch.
  std::atomic<bool> closing_{false};
  std::thread::id workerId_;
};
