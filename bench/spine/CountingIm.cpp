// Counting IM service (soname libzeb_im_json.so).
#include "bench/spine/CountingPlugin.h"

extern "C" {
IM_PLUGIN_API int IMServiceStartup(void) { return 0; }
IM_PLUGIN_API int IMServiceShutDown(void) { return 0; }
IM_PLUGIN_API int IMRecvMsgImport(const char* text, uint32_t length) {
  return counting::Receive(text, length);
}
IM_PLUGIN_API int ImSetAdapterCallback(IMAdapterServiceCallbackFn) { return 0; }
}
