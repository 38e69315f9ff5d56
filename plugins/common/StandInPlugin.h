// What the three stand-in plugins share: the adapter's callback, the worker
// thread that answers, and the routing of an answer to the adapter or the host.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "im_adapter/im_plugin.h"
#include "plugins/common/StandInWorker.h"

namespace standin {

class StandInPlugin {
 public:
  // Runs on the worker thread with a request that parsed into a JSON object.
  using Handler = std::function<void(const Json::Value& request)>;

  // name prefixes the plugin's lines on standard error.
  explicit StandInPlugin(std::string name);

  // Keeps the adapter's callback (NULL forgets it). Any thread.
  void SetCallback(IMAdapterServiceCallbackFn callback);

  // Copies length bytes of text and handles them on the worker thread after
  // delayMs: a request that does not parse gets a failure answer (to the host,
  // since the adapter never sends one), any other goes to handler. Any thread.
  void Receive(const char* text, uint32_t length, const Handler& handler, int delayMs = 0);

  // Sends text to the side that made request: the adapter's callback for
  // "adapter": 1, the host sink otherwise. Returns false when that side has no
  // receiver (the text is dropped and a line goes to standard error).
  bool Deliver(const Json::Value& request, const Json::Value& text);
  // The same for an answer already written as a JSON text.
  bool DeliverText(const Json::Value& request, const std::string& text);

  // Runs what is queued now and stops the worker (see StandInWorker::Flush).
  void Flush() { worker_.Flush(); }

  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::atomic<IMAdapterServiceCallbackFn> callback_{nullptr};
  StandInWorker worker_;
};

}  // namespace standin
