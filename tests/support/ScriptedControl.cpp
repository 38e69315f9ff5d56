#include <atomic>
#include <mutex>

#include "tests/support/ScriptedPlugins.h"

namespace scripted {
namespace {

struct State {
  std::mutex mutex;
  Handler handlers[3];
  std::vector<std::string> received[3];
  std::atomic<IMAdapterServiceCallbackFn> callbacks[3] = {};
  int registrations[3] = {0, 0, 0};
  int startups = 0;
  int shutdowns = 0;
  int startupResult = 0;
  int shutdownResult = 0;
};

State& GetState() {
  static State state;
  return state;
}

int Index(Plugin plugin) { return static_cast<int>(plugin); }

}  // namespace

void SetHandler(Plugin plugin, Handler handler) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  GetState().handlers[Index(plugin)] = std::move(handler);
}

int Answer(Plugin plugin, const std::string& text) {
  IMAdapterServiceCallbackFn cb = GetState().callbacks[Index(plugin)].load();
  return cb ? cb(text.c_str()) : -1;
}

std::vector<std::string> Received(Plugin plugin) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  return GetState().received[Index(plugin)];
}

int StartupCount() {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  return GetState().startups;
}

int ShutdownCount() {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  return GetState().shutdowns;
}

int CallbackRegistrations(Plugin plugin) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  return GetState().registrations[Index(plugin)];
}

void SetStartupResult(int result) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  GetState().startupResult = result;
}

void SetShutdownResult(int result) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  GetState().shutdownResult = result;
}

void Reset() {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mutex);
  for (int i = 0; i < 3; ++i) {
    s.handlers[i] = nullptr;
    s.received[i].clear();
    s.registrations[i] = 0;
  }
  s.startups = s.shutdowns = 0;
  s.startupResult = s.shutdownResult = 0;
}

}  // namespace scripted

using scripted::GetState;

extern "C" int ScriptedRecv(int plugin, const char* text, uint32_t length) {
  if (plugin < 0 || plugin > 2) return -1;
  std::string copy = text ? std::string(text, length) : std::string();
  scripted::Handler handler;
  {
    std::lock_guard<std::mutex> lock(GetState().mutex);
    GetState().received[plugin].push_back(copy);
    handler = GetState().handlers[plugin];
  }
  if (handler) handler(copy);
  return 0;
}

extern "C" int ScriptedSetCallback(int plugin, IMAdapterServiceCallbackFn callback) {
  if (plugin < 0 || plugin > 2) return -1;
  GetState().callbacks[plugin].store(callback);
  std::lock_guard<std::mutex> lock(GetState().mutex);
  ++GetState().registrations[plugin];
  return 0;
}

extern "C" int ScriptedStartup(void) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  ++GetState().startups;
  return GetState().startupResult;
}

extern "C" int ScriptedShutdown(void) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  ++GetState().shutdowns;
  return GetState().shutdownResult;
}
