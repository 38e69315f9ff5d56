// Scripted IM service plugin (soname libzeb_im_json.so).
#include "tests/support/ScriptedPlugins.h"

extern "C" {
IM_PLUGIN_API int IMServiceStartup(void) { return ScriptedStartup(); }
IM_PLUGIN_API int IMServiceShutDown(void) { return ScriptedShutdown(); }
IM_PLUGIN_API int IMRecvMsgImport(const char* text, uint32_t length) {
  return ScriptedRecv(0, text, length);
}
IM_PLUGIN_API int ImSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  return ScriptedSetCallback(0, callback);
}
}
