#include "adapter/src/bridge/TaskQueue.h"

#include <exception>
#include <system_error>
#include <utility>

#include "log/AdapterLog.h"
#include "platform/Platform.h"

namespace {

const char kFunction[] = "TaskQueue";

}  // namespace

TaskQueue::TaskQueue(std::string name, size_t capacity)
    : name_(std::move(name)), capacity_(capacity == 0 ? 1 : capacity) {}

TaskQueue::~TaskQueue() { Close(); }

bool TaskQueue::Start() {
  util::MutexLock lifecycle(lifecycleMutex_);
  if (worker_.joinable()) return true;
  uint64_t droppedWhileStopped = 0;
  {
    util::MutexLock lock(mutex_);
    closing_ = false;
    accepting_ = true;
    droppedWhileStopped = droppedWhileStopped_;
    droppedWhileStopped_ = 0;
  }
  if (droppedWhileStopped != 0) {
    IMLOG(kLogErr, kFunction,
          name_ + ": " + std::to_string(droppedWhileStopped) +
              " messages dropped while the queue was stopped");
  }
  try {
    worker_ = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    util::MutexLock lock(mutex_);
    accepting_ = false;
    IMLOG(kLogErr, kFunction, name_ + ": create thread failed: " + e.what());
    return false;
  }
  return true;
}

bool TaskQueue::Put(Task task) {
  {
    util::MutexLock lock(mutex_);
    if (!accepting_) {
      ++dropped_;
      ++droppedWhileStopped_;
      return false;
    }
    if (tasks_.size() >= capacity_) {
      tasks_.pop_front();
      ++dropped_;
      if (droppedOverflow_++ == 0) {
        IMLOG(kLogErr, kFunction,
              name_ + ": queue full (" + std::to_string(capacity_) +
                  "), dropping the oldest messages");
      }
    }
    tasks_.push_back(std::move(task));
  }
  wake_.NotifyOne();
  return true;
}

void TaskQueue::Close() {
  if (IsWorkerThread()) {
    IMLOG(kLogErr, kFunction, name_ + ": close refused on the queue's own thread");
    return;
  }
  util::MutexLock lifecycle(lifecycleMutex_);
  if (!worker_.joinable()) return;
  std::deque<Task> unrun;
  {
    util::MutexLock lock(mutex_);
    closing_ = true;
    accepting_ = false;
  }
  wake_.NotifyAll();
  worker_.join();
  {
    util::MutexLock lock(mutex_);
    workerId_ = std::thread::id();
    ReportOverflowLocked();
    dropped_ += tasks_.size();
    droppedWhileStopped_ += tasks_.size();
    unrun.swap(tasks_);
  }
  // The dropped tasks are destroyed outside the lock.
}

bool TaskQueue::IsWorkerThread() const {
  util::MutexLock lock(mutex_);
  return workerId_ == std::this_thread::get_id();
}

bool TaskQueue::Closing() const {
  util::MutexLock lock(mutex_);
  return closing_;
}

TaskQueue::Counts TaskQueue::GetCounts() const {
  util::MutexLock lock(mutex_);
  return Counts{run_, dropped_, tasks_.size()};
}

void TaskQueue::ReportOverflowLocked() {
  if (droppedOverflow_ == 0) return;
  IMLOG(kLogErr, kFunction,
        name_ + ": " + std::to_string(droppedOverflow_) + " messages dropped, the queue was full");
  droppedOverflow_ = 0;
}

void TaskQueue::Run() {
  platform::SetCurrentThreadName(name_.c_str());
  util::MutexLock lock(mutex_);
  workerId_ = std::this_thread::get_id();
  for (;;) {
    wake_.Wait(mutex_, [this]() REQUIRES(mutex_) { return closing_ || !tasks_.empty(); });
    if (closing_) return;
    // One task at a time, so that a full queue drops what waits, not what
    // was already taken, and Close stops after the running task.
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    if (tasks_.empty()) ReportOverflowLocked();
    lock.Unlock();
    RunOne(task);
    task = nullptr;  // destroyed outside the lock
    lock.Lock();
    ++run_;
  }
}

void TaskQueue::RunOne(Task& task) {
  try {
    if (task) task();
  } catch (const std::exception& e) {
    IMLOG(kLogErr, kFunction, name_ + ": a task ended with an exception: " + e.what());
  } catch (...) {
    IMLOG(kLogErr, kFunction, name_ + ": a task ended with an unknown exception");
  }
}
