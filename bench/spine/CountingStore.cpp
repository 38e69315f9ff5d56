// Counting message store (soname libim_sqlite_plugin.so).
#include "bench/spine/CountingPlugin.h"

extern "C" {
IM_PLUGIN_API int SqliteRecvMsgImport(const char* text, uint32_t length) {
  return counting::Receive(text, length);
}
IM_PLUGIN_API int SqliteSetAdapterCallback(IMAdapterServiceCallbackFn) { return 0; }
}
