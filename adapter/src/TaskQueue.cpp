#include "adapter/src/TaskQueue.h"

#include <exception>
#include <iterator>
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
    closing_.store(false, std::memory_order_release);
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
    closing_.store(true, std::memory_order_release);
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
  std::deque<Task> batch;
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
    if (closing_) return;
    // Taking every queued task at once keeps the lock out of the way of the
    // posting threads while the batch runs.
    batch.swap(tasks_);
    lock.unlock();
    while (!batch.empty() && !closing_.load(std::memory_order_acquire)) {
      RunOne(batch.front());
      batch.pop_front();
    }
    lock.lock();
    // Closed in the middle of a batch: what was not run goes back in front.
    tasks_.insert(tasks_.begin(), std::make_move_iterator(batch.begin()),
                  std::make_move_iterator(batch.end()));
    batch.clear();
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
