// Where a message goes by its target code: the table of plugin entry points
// and the routing that both the host's IMAdapterDispatchMsg and the adapter's
// own plugin requests use.
//
// Threads: Route may run on any thread (host threads, the service thread, the
// migration thread). SetApi is not synchronised against routing: the table is
// installed when the library loads (tests install fakes before use).
#pragma once

#include <cstdint>

#include "adapter/src/boundary/PluginApi.h"

class PluginRoutes {
 public:
  // The process-wide table, created on first use and never destroyed.
  static PluginRoutes& Instance();

  void SetApi(const PluginApi& api) { api_ = api; }
  const PluginApi& Api() const { return api_; }

  // Routes one text by target: 0/1 the IM service, 2 the message store, 3 the
  // offline-file service, 5 the adapter's inbound queue (HostChannel); any
  // other target, or a plugin entry point that is not set, drops it silently.
  void Route(const char* text, uint32_t length, uint32_t target);

 private:
  PluginRoutes() = default;

  PluginApi api_;
};

// The adapter's own plugin requests: logs "req msg <<< " + text at debug
// level, then routes exactly as the host's IMAdapterDispatchMsg does.
void IMAdapterServiceDispatchMsg(const char* text, uint32_t length, uint32_t target);
