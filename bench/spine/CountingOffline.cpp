// Counting offline-file service (soname libzeb_httpofflinefile.so).
#include "bench/spine/CountingPlugin.h"

extern "C" {
IM_PLUGIN_API int OffLineFileRecvMsgImport(const char* text, uint32_t length) {
  return counting::Receive(text, length);
}
IM_PLUGIN_API int OffLineSetAdapterCallback(IMAdapterServiceCallbackFn) { return 0; }
}
