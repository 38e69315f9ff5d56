// One worker thread that runs the tasks of a stand-in plugin in order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace standin {

// Runs posted tasks one at a time, in posting order, on a thread of its own
// that starts with the first task. A task may be given a delay: it runs no
// earlier than that, and never before a task posted earlier. Safe to use from
// any thread; a task must not call Flush or the destructor of its own worker.
class StandInWorker {
 public:
  using Task = std::function<void()>;

  StandInWorker() = default;
  // Discards the tasks that have not started and joins the thread.
  ~StandInWorker();
  StandInWorker(const StandInWorker&) = delete;
  StandInWorker& operator=(const StandInWorker&) = delete;

  // Queues task to run after delayMs milliseconds (0: as soon as it is its turn).
  void Post(Task task, int delayMs = 0);

  // Runs every queued task now, ignoring their delays, and stops the thread;
  // the next Post starts a new one. Returns when the last task has run.
  void Flush();

 private:
  struct Entry {
    std::chrono::steady_clock::time_point due;
    Task task;
  };
  void Run();
  void Stop(bool runPending);

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Entry> tasks_;
  bool stopping_ = false;
  bool runPending_ = false;
  bool joining_ = false;
  std::thread thread_;
};

}  // namespace standin
