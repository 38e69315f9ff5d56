// The plugin entry points the adapter calls, as a table of function pointers.
// The shipped library fills it with the imported plugin functions; unit tests
// fill it with in-process fakes.
#pragma once

#include <cstdint>

#include "im_adapter/im_plugin.h"

struct PluginApi {
  int (*imServiceStartup)() = nullptr;
  int (*imServiceShutDown)() = nullptr;
  int (*imRecvMsgImport)(const char*, uint32_t) = nullptr;
  int (*imSetAdapterCallback)(IMAdapterServiceCallbackFn) = nullptr;
  int (*sqliteRecvMsgImport)(const char*, uint32_t) = nullptr;
  int (*sqliteSetAdapterCallback)(IMAdapterServiceCallbackFn) = nullptr;
  int (*offLineFileRecvMsgImport)(const char*, uint32_t) = nullptr;
  int (*offLineSetAdapterCallback)(IMAdapterServiceCallbackFn) = nullptr;
};

// Target codes of IMAdapterDispatchMsg.
enum PluginTarget : uint32_t {
  kTargetIm0 = 0,
  kTargetIm = 1,
  kTargetStore = 2,
  kTargetOfflineFile = 3,
  kTargetAdapter = 5,
};
