#include <atomic>
#include <mutex>

#include "tests/support/ScriptedPlugins.h"

namespace scripted {
namespace {

// What Reset forgets.
struct Script {
  Handler handlers[3];
  std::vector<std::string> received[3];
  int registrations[3] = {0, 0, 0};
  int startups = 0;
  int shutdowns = 0;
  int startupResult = 0;
  int shutdownResult = 0;
};

struct State {
  std::mutex mutex;
  std::atomic<IMAdapterServiceCallbackFn> callbacks[3] = {};
  Script script;
};

State& GetState() {
  static State state;
  return state;
}

// Runs fn on the script under the state's lock and returns what fn returns.
template <typename Fn>
auto Locked(Fn fn) {
  std::lock_guard<std::mutex> lock(GetState().mutex);
  return fn(GetState().script);
}

int Index(Plugin plugin) { return static_cast<int>(plugin); }

}  // namespace

void SetHandler(Plugin plugin, Handler handler) {
  Locked([&](Script& s) { s.handlers[Index(plugin)] = std::move(handler); });
}

int Answer(Plugin plugin, const std::string& text) {
  IMAdapterServiceCallbackFn cb = GetState().callbacks[Index(plugin)].load();
  return cb ? cb(text.c_str()) : -1;
}

std::vector<std::string> Received(Plugin plugin) {
  return Locked([&](Script& s) { return s.received[Index(plugin)]; });
}

int StartupCount() {
  return Locked([](Script& s) { return s.startups; });
}
int ShutdownCount() {
  return Locked([](Script& s) { return s.shutdowns; });
}
int CallbackRegistrations(Plugin plugin) {
  return Locked([&](Script& s) { return s.registrations[Index(plugin)]; });
}
void SetStartupResult(int result) {
  Locked([&](Script& s) { s.startupResult = result; });
}
void SetShutdownResult(int result) {
  Locked([&](Script& s) { s.shutdownResult = result; });
}

void Reset() {
  Locked([](Script& s) { s = Script(); });
}

}  // namespace scripted

using scripted::Locked;
using scripted::Script;

extern "C" int ScriptedRecv(int plugin, const char* text, uint32_t length) {
  if (plugin < 0 || plugin > 2) return -1;
  std::string copy = text ? std::string(text, length) : std::string();
  scripted::Handler handler = Locked([&](Script& s) {
    s.received[plugin].push_back(copy);
    return s.handlers[plugin];
  });
  if (handler) handler(copy);
  return 0;
}

extern "C" int ScriptedSetCallback(int plugin, IMAdapterServiceCallbackFn callback) {
  if (plugin < 0 || plugin > 2) return -1;
  scripted::GetState().callbacks[plugin].store(callback);
  Locked([&](Script& s) { ++s.registrations[plugin]; });
  return 0;
}

extern "C" int ScriptedStartup(void) {
  return Locked([](Script& s) { return ++s.startups, s.startupResult; });
}

extern "C" int ScriptedShutdown(void) {
  return Locked([](Script& s) { return ++s.shutdowns, s.shutdownResult; });
}
