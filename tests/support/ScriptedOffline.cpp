// Scripted offline-file plugin (soname libzeb_httpofflinefile.so).
#include "tests/support/ScriptedPlugins.h"

extern "C" {
IM_PLUGIN_API int OffLineFileRecvMsgImport(const char* text, uint32_t length) {
  return ScriptedRecv(2, text, length);
}
IM_PLUGIN_API int OffLineSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  return ScriptedSetCallback(2, callback);
}
}
