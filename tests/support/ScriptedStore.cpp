// Scripted message store plugin (soname libim_sqlite_plugin.so).
#include "tests/support/ScriptedPlugins.h"

extern "C" {
IM_PLUGIN_API int SqliteRecvMsgImport(const char* text, uint32_t length) {
  return ScriptedRecv(1, text, length);
}
IM_PLUGIN_API int SqliteSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  return ScriptedSetCallback(1, callback);
}
}
