#include "plugins/common/StandInPlugin.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "plugins/common/StandInJson.h"
#include "plugins/hostlink/StandInHost.h"

namespace standin {

StandInPlugin::StandInPlugin(std::string name) : name_(std::move(name)) {}

void StandInPlugin::SetCallback(IMAdapterServiceCallbackFn callback) { callback_.store(callback); }

void StandInPlugin::Receive(const char* text, uint32_t length, const Handler& handler,
                            int delayMs) {
  auto copy = std::make_shared<std::string>();
  if (text != nullptr) copy->assign(text, length);
  worker_.Post(
      [this, copy, handler] {
        Json::Value request;
        std::string reason;
        if (!ParseRequest(copy->data(), static_cast<uint32_t>(copy->size()), &request, &reason)) {
          std::fprintf(stderr, "%s: %s\n", name_.c_str(), reason.c_str());
          Deliver(Json::Value(), MakeAnswer(Json::Value(), -1, reason));
          return;
        }
        handler(request);
      },
      delayMs);
}

bool StandInPlugin::Deliver(const Json::Value& request, const Json::Value& text) {
  return DeliverText(request, WriteCompact(text));
}

bool StandInPlugin::DeliverText(const Json::Value& request, const std::string& out) {
  if (request.isObject() && IsAdapterRequest(request)) {
    IMAdapterServiceCallbackFn callback = callback_.load();
    if (callback == nullptr) {
      std::fprintf(stderr, "%s: no adapter callback, answer dropped: %.200s\n", name_.c_str(),
                   out.c_str());
      return false;
    }
    callback(out.c_str());
    return true;
  }
  return StandInPostToHost(out.c_str()) == 0;
}

}  // namespace standin
