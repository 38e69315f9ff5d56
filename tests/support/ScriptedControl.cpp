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

// Runs fn on the state under its lock and returns what fn returns.
template <typename Fn>
auto Locked(Fn fn) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  return fn(GetState());
}

int Index(Plugin plugin) { return static_cast<int>(plugin); }

}  // namespace

void SetHandler(Plugin plugin, Handler handler) {
  Locked([&](State& s) { s.handlers[Index(plugin)] = std::move(handler); });
}

int Answer(Plugin plugin, const std::string& text) {
  IMAdapterServiceCallbackFn cb = GetState().callbacks[Index(plugin)].load();
  return cb ? cb(text.c_str()) : -1;
}

std::vector<std::string> Received(Plugin plugin) {
  return Locked([&](State& s) { return s.received[Index(plugin)]; });
}

int StartupCount() { return Locked([](State& s) { return s.startups; }); }
int ShutdownCount() { return Locked([](State& s) { return s.shutdowns; }); }
int CallbackRegistrations(Plugin plugin) {
  return Locked([&](State& s) { return s.registrations[Index(plugin)]; });
}
void SetStartupResult(int result) { Locked([&](State& s) { s.startupResult = result; }); }
void SetShutdownResult(int result) { Locked([&](State& s) { s.shutdownResult = result; }); }

void Reset() {
  Locked([](State& s) {
    for (int i = 0; i < 3; ++i) {
      s.handlers[i] = nullptr;
      s.received[i].clear();
      s.registrations[i] = 0;
    }
    s.startups = s.shutdowns = 0;
    s.startupResult = s.shutdownResult = 0;
  });
}

}  // namespace scripted

using scripted::Locked;
using scripted::State;

extern "C" int ScriptedRecv(int plugin, const char* text, uint32_t length) {
  if (plugin < 0 || plugin > 2) return -1;
  std::string copy = text ? std::string(text, length) : std::string();
  scripted::Handler handler = Locked([&](State& s) {
    s.received[plugin].push_back(copy);
    return s.handlers[plugin];
  });
  if (handler) handler(copy);
  return 0;
}

extern "C" int ScriptedSetCallback(int plugin, IMAdapterServiceCallbackFn callback) {
  if (plugin < 0 || plugin > 2) return -1;
  scripted::GetState().callbacks[plugin].store(callback);
  Locked([&](State& s) { ++s.registrations[plugin]; });
  return 0;
}

extern "C" int ScriptedStartup(void) {
  return Locked([](State& s) { return ++s.startups, s.startupResult; });
}

extern "C" int ScriptedShutdown(void) {
  return Locked([](State& s) { return ++s.shutdowns, s.shutdownResult; });
}
