// The host sink and the settings shared by the three stand-in plugins. One
// copy of this state exists per process because it lives in a shared library
// of its own that the plugins and the host link.
#include "plugins/hostlink/StandInHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct HostLink {
  std::mutex sinkLock;  // held while a sink runs, so removing it waits for the call
  StandInHostSinkFn sink = nullptr;
  std::mutex optionLock;
  std::map<std::string, std::string> options;
};

HostLink& Link() {
  // Never destroyed: plugin threads still post and read options through it
  // while the process ends.
  static HostLink* const link = new HostLink();
  return *link;
}

}  // namespace

extern "C" {

int StandInSetHostSink(StandInHostSinkFn sink) {
  std::lock_guard<std::mutex> guard(Link().sinkLock);
  Link().sink = sink;
  return 0;
}

int StandInPostToHost(const char* text) {
  if (text == nullptr) return 2;
  std::lock_guard<std::mutex> guard(Link().sinkLock);
  if (Link().sink == nullptr) {
    std::fprintf(stderr, "stand-in plugin: no host sink, answer dropped: %.200s\n", text);
    return 1;
  }
  Link().sink(text);
  return 0;
}

int StandInSetOption(const char* name, const char* value) {
  if (name == nullptr || *name == '\0') return 1;
  std::lock_guard<std::mutex> guard(Link().optionLock);
  if (value == nullptr) {
    Link().options.erase(name);
  } else {
    Link().options[name] = value;
  }
  return 0;
}

int32_t StandInGetOption(const char* name, char* buffer, uint32_t size) {
  if (name == nullptr || *name == '\0') return -1;
  std::string value;
  {
    std::lock_guard<std::mutex> guard(Link().optionLock);
    auto it = Link().options.find(name);
    if (it != Link().options.end()) {
      value = it->second;
    } else {
      const char* env = std::getenv(name);
      if (env == nullptr) return -1;
      value = env;
    }
  }
  if (buffer == nullptr || value.size() + 1 > size) return -2;
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return static_cast<int32_t>(value.size());
}

}  // extern "C"
