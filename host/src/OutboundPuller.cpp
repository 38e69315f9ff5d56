#include "host/src/OutboundPuller.h"

#include "im_adapter/im_adapter.h"

namespace host {
namespace {

// How long one pull waits, and so how late the thread notices a stop.
const uint32_t kPullPeriodMs = 100;

}  // namespace

OutboundPuller::OutboundPuller() : thread_(&OutboundPuller::Run, this) {}

OutboundPuller::~OutboundPuller() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
  }
  thread_.join();
}

bool OutboundPuller::Next(std::chrono::milliseconds timeout, std::string* text) {
  std::unique_lock<std::mutex> guard(lock_);
  if (!changed_.wait_for(guard, timeout, [this] { return !texts_.empty(); })) return false;
  *text = std::move(texts_.front());
  texts_.pop_front();
  return true;
}

void OutboundPuller::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (stop_) return;
    }
    char* msg = nullptr;
    if (!IMAdapterSendMsgExportTimeout(&msg, kPullPeriodMs)) continue;
    std::string text = msg;
    IMAdapterFreeMsg(msg);
    std::lock_guard<std::mutex> guard(lock_);
    texts_.push_back(std::move(text));
    changed_.notify_all();
  }
}

}  // namespace host
