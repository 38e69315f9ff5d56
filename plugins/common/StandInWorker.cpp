#include "plugins/common/StandInWorker.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace standin {

StandInWorker::~StandInWorker() { Stop(false); }

void StandInWorker::Post(Task task, int delayMs) {
  std::lock_guard<std::mutex> guard(lock_);
  auto due =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs > 0 ? delayMs : 0);
  // A task never overtakes an earlier one, whatever the delays.
  if (!tasks_.empty() && tasks_.back().due > due) due = tasks_.back().due;
  tasks_.push_back(Entry{due, std::move(task)});
  // While a stop is joining the old thread, that thread takes the task (or
  // drops it, when the stop discards); otherwise a new thread starts.
  if (!thread_.joinable() && !joining_) {
    stopping_ = false;
    runPending_ = false;
    thread_ = std::thread(&StandInWorker::Run, this);
  }
  changed_.notify_one();
}

void StandInWorker::Flush() { Stop(true); }

void StandInWorker::Stop(bool runPending) {
  std::thread thread;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    runPending_ = runPending;
    if (!runPending) tasks_.clear();
    thread = std::move(thread_);
    joining_ = thread.joinable();
    changed_.notify_one();
  }
  if (!thread.joinable()) return;
  thread.join();
  std::lock_guard<std::mutex> guard(lock_);
  joining_ = false;
}

void StandInWorker::Run() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (tasks_.empty()) {
      if (stopping_) return;
      changed_.wait(guard);
      continue;
    }
    if (!runPending_ && std::chrono::steady_clock::now() < tasks_.front().due) {
      if (stopping_) {  // stop without running: drop what is left
        tasks_.clear();
        return;
      }
      changed_.wait_until(guard, tasks_.front().due);
      continue;
    }
    Task task = std::move(tasks_.front().task);
    tasks_.pop_front();
    guard.unlock();
    try {
      task();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "stand-in plugin: task failed: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "stand-in plugin: task failed\n");
    }
    guard.lock();
  }
}

}  // namespace standin
