// A thread that takes the adapter's outbound texts as they come, so that the
// host's main thread can wait for them with a time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace host {

class OutboundPuller {
 public:
  // Starts pulling at once with IMAdapterSendMsgExportTimeout.
  OutboundPuller();
  // Stops the thread (within one pull period) and joins it.
  ~OutboundPuller();
  OutboundPuller(const OutboundPuller&) = delete;
  OutboundPuller& operator=(const OutboundPuller&) = delete;

  // The next text, oldest first; false when none came within timeout.
  bool Next(std::chrono::milliseconds timeout, std::string* text);

 private:
  void Run();

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::string> texts_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace host
