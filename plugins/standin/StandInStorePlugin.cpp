// Entry points of the stand-in message store (libim_sqlite_plugin).
#include "im_adapter/im_plugin.h"
#include "plugins/common/StandInPlugin.h"
#include "plugins/standin/StandInStore.h"

namespace {

struct StorePlugin {
  standin::StandInStore store;  // used on the plugin's worker thread only
  standin::StandInPlugin plugin{
      "im_sqlite_plugin"};  // goes first: its worker stops before the store
};

// Never destroyed. The worker may still wait for requests when the library
// unloads, and on Windows process exit ends that thread before the unload:
// stopping it from a destructor would wait forever for a thread that is gone.
StorePlugin& Instance() {
  static StorePlugin& instance = *new StorePlugin;
  return instance;
}

}  // namespace

extern "C" {

int SqliteRecvMsgImport(const char* text, uint32_t length) {
  StorePlugin& self = Instance();
  self.plugin.Receive(text, length, [&self](const Json::Value& request) {
    self.plugin.Deliver(request, self.store.Handle(request));
  });
  return 0;
}

int SqliteSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  Instance().plugin.SetCallback(callback);
  return 0;
}

}  // extern "C"
