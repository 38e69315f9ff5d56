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

StorePlugin& Instance() {
  static StorePlugin instance;
  return instance;
}

}  // namespace

extern "C" {

int SqliteRecvMsgImport(const char* text, uint32_t length) {
  StorePlugin& self = Instance();
  self.plugin.Receive(text, length, [&self](const Json::Value& request) {
    self.plugin.DeliverText(request, self.store.HandleText(request));
  });
  return 0;
}

int SqliteSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  Instance().plugin.SetCallback(callback);
  return 0;
}

}  // extern "C"
