// Entry points of the stand-in offline-file service (libzeb_httpofflinefile).
#include "im_adapter/im_plugin.h"
#include "plugins/common/StandInPlugin.h"
#include "plugins/standin/StandInOfflineFile.h"

namespace {

struct OfflineFilePlugin {
  standin::StandInOfflineFile files;                     // used on the plugin's worker thread only
  standin::StandInPlugin plugin{"zeb_httpofflinefile"};  // goes first: its worker stops first
};

// Never destroyed. The worker may still wait for requests when the library
// unloads, and on Windows process exit ends that thread before the unload:
// stopping it from a destructor would wait forever for a thread that is gone.
OfflineFilePlugin& Instance() {
  static OfflineFilePlugin& instance = *new OfflineFilePlugin;
  return instance;
}

}  // namespace

extern "C" {

// The local file is never deleted, whatever "delete_file" says: the stand-in
// works on the user's own files.
int OffLineFileRecvMsgImport(const char* text, uint32_t length) {
  OfflineFilePlugin& self = Instance();
  self.plugin.Receive(text, length, [&self](const Json::Value& request) {
    self.files.Handle(request, [&](const Json::Value& out) { self.plugin.Deliver(request, out); });
  });
  return 0;
}

int OffLineSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  Instance().plugin.SetCallback(callback);
  return 0;
}

}  // extern "C"
