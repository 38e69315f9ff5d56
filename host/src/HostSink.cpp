#include "host/src/HostSink.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <sstream>

#include "plugins/hostlink/StandInHost.h"

namespace host {
namespace {

struct Received {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::string> texts;
};

Received& TheReceived() {
  static Received received;
  return received;
}

int OnPluginText(const char* text) {
  std::lock_guard<std::mutex> guard(TheReceived().lock);
  TheReceived().texts.emplace_back(text);
  TheReceived().changed.notify_all();
  return 0;
}

bool Parse(const std::string& text, Json::Value* out) {
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(text);
  return Json::parseFromStream(builder, in, out, &errors);
}

}  // namespace

HostSink::HostSink() { StandInSetHostSink(&OnPluginText); }

HostSink::~HostSink() { StandInSetHostSink(nullptr); }

bool HostSink::Take(const Match& match, std::chrono::milliseconds timeout, Json::Value* out) {
  std::unique_lock<std::mutex> guard(TheReceived().lock);
  bool found = false;
  TheReceived().changed.wait_for(guard, timeout, [&] {
    auto& texts = TheReceived().texts;
    for (auto it = texts.begin(); it != texts.end(); ++it) {
      Json::Value value;
      if (Parse(*it, &value) && match(value)) {
        *out = value;
        texts.erase(it);
        found = true;
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<std::string> HostSink::TakeAllRaw() {
  std::lock_guard<std::mutex> guard(TheReceived().lock);
  std::vector<std::string> all(TheReceived().texts.begin(), TheReceived().texts.end());
  TheReceived().texts.clear();
  return all;
}

}  // namespace host
