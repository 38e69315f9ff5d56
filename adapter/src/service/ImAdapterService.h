// The host boundary: routing by target code, the service thread, start-up and
// shut-down, and the callback that the plugins call.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "adapter/src/boundary/PluginApi.h"
#include "util/Mutex.h"

class ImAdapterService {
 public:
  static ImAdapterService& Instance();

  // The plugin entry points to use (PluginRoutes). The shipped library
  // installs the imported plugin functions when it loads; tests install fakes.
  // Not thread-safe against concurrent routing: set it before use.
  void SetPluginApi(const PluginApi& api);
  const PluginApi& Api() const;

  // Starts the service (hub and service thread, once), starts the IM service
  // and registers the callback with the three plugins. Returns the IM
  // service's start-up result. From the first call on, the library stays in
  // memory until the process ends: the plugins keep the callback and may call
  // it at any time, so unloading it would leave them calling into nothing.
  int Startup();
  // Stops the service thread and the hub, then the IM service; returns the IM
  // service's shut-down result. A plugin request that the running command
  // waits for ends at once as a time-out, so this does not wait for a silent
  // plugin (an open dialog of command 6 or 7 is still waited for).
  int ShutDown();

  // Routes one host text by target (PluginRoutes::Route: 0/1 IM, 2 store,
  // 3 offline file, 5 the adapter's inbound queue; anything else is dropped).
  void DispatchMsg(const char* text, uint32_t length, uint32_t target);

  bool IsRunning() const;

  // The most the service thread idles between checks of the stop flag.
  static constexpr std::chrono::milliseconds kPollInterval{5};

 private:
  ImAdapterService() = default;
  int ServiceStart();
  void ServiceStop();
  void ServiceMain();

  mutable util::Mutex threadMutex_;  // start and stop are called in order
  std::thread thread_ GUARDED_BY(threadMutex_);
  std::atomic<bool> stop_{false};
};

// The callback handed to the three plugins: logs "rsp msg <<< " + text at
// debug level and posts a copy to the callback hub. Always returns 0.
extern "C" int IMAdapterServiceCallback(const char* text);
