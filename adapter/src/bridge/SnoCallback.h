// The value registered with the callback hub for one serial number (or with
// ImAdapterNotify for one file handle): a user value handed back to the
// handler, and the handler itself.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <functional>

struct SnoCallback {
  // Handed back to the handler; request senders store the host request's own
  // serial number here.
  int32_t userValue = 0;
  // Runs on the hub's task thread with (userValue, the plugin's message). May be empty.
  std::function<void(int32_t userValue, Json::Value& reply)> handler;
};
