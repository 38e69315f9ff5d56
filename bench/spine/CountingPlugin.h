// A minimal plugin for the routing benchmarks, built once per plugin soname:
// each receive entry point does what every plugin does first with a text it
// is handed (the text is not NUL-terminated and stays the caller's): parse it
// as JSON. The same entry point is called directly and through the adapter.
#pragma once

#include <json/json.h>

#include <atomic>
#include <memory>

#include "im_adapter/im_plugin.h"

namespace counting {

inline std::atomic<long> g_received{0};

inline int Receive(const char* text, uint32_t length) {
  thread_local std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  Json::Value value;
  std::string errors;
  if (reader->parse(text, text + length, &value, &errors)) g_received.fetch_add(1);
  return 0;
}

}  // namespace counting

