// The reference host's end of the stand-in plugins' host sink: the answers
// that the plugins give to requests the host sent them directly (targets 0 to 3).
#pragma once

#include <json/json.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace host {

class HostSink {
 public:
  using Match = std::function<bool(const Json::Value& text)>;

  // Installs the sink (one HostSink at a time); the destructor removes it.
  HostSink();
  ~HostSink();
  HostSink(const HostSink&) = delete;
  HostSink& operator=(const HostSink&) = delete;

  // Waits up to timeout for a text that match accepts and takes it out.
  bool Take(const Match& match, std::chrono::milliseconds timeout, Json::Value* out);
  // Takes every text received so far, as the plugins wrote them.
  std::vector<std::string> TakeAllRaw();
};

}  // namespace host
