#include "adapter/src/TaskQueue.h"

#include <exception>
#include <system_error>
#include <utility>

#include "log/AdapterLog.h"
#include "platform/Platform.h"

namespace {

const char kFunction[] = "TaskQueue";

}  // namespace

TaskQueue::TaskQueue(std::string name) : name_(std::move(name)) {}

TaskQueue::~TaskQueue() { Close(); }

bool TaskQueue::Start() {
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
  if (worker_.joinable()) return true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = false;
  }
  try {
    worker_ = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    IMLOG(kLogErr, kFunction, name_ + ": create thread failed: " + e.what());
    return false;
  }
  return true;
}

void TaskQueue::Put(Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void TaskQueue::Close() {
  if (IsWorkerThread()) {
    IMLOG(kLogErr, kFunction, name_ + ": close refused on the queue's own thread");
    return;
  }
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  worker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  workerId_ = std::thread::id();
}

bool TaskQueue::IsWorkerThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workerId_ == std::this_thread::get_id();
}

void TaskQueue::Run() {
  platform::SetCurrentThreadName(name_.c_str());
  std::unique_lock<std::mutex> lock(mutex_);
  workerId_ = std::this_thread::get_id();
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
    if (closing_) return;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    RunOne(task);
    lock.lock();
  }
}

void TaskQueue::RunOne(Task& task) const {
  try {
    if (task) task();
  } catch (const std::exception& e) {
    IMLOG(kLogErr, kFunction, name_ + ": a task ended with an exception: " + e.what());
  } catch (...) {
    IMLOG(kLogErr, kFunction, name_ + ": a task ended with an unknown exception");
  }
}
