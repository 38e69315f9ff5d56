// Entry points of the stand-in IM service (libzeb_im_json).
#include <string>

#include "im_adapter/im_plugin.h"
#include "plugins/common/StandInPlugin.h"
#include "plugins/common/StandInSettings.h"
#include "plugins/standin/StandInImService.h"

namespace {

const long kMaxAckDelayMs = 10 * 60 * 1000;

struct ImPlugin {
  standin::StandInImService service;             // used on the plugin's worker thread only
  standin::StandInPlugin plugin{"zeb_im_json"};  // goes first: its worker stops before the service
};

// Never destroyed. The worker may still wait for requests when the library
// unloads, and on Windows process exit ends that thread before the unload:
// stopping it from a destructor would wait forever for a thread that is gone.
ImPlugin& Instance() {
  static ImPlugin& instance = *new ImPlugin;
  return instance;
}

}  // namespace

extern "C" {

int IMServiceStartup(void) {
  Instance();
  return 0;
}

// Answers what is still queued (delays are cut short) and stops the worker.
int IMServiceShutDown(void) {
  Instance().plugin.Flush();
  return 0;
}

int IMRecvMsgImport(const char* text, uint32_t length) {
  ImPlugin& self = Instance();
  const int delayMs =
      static_cast<int>(standin::SettingNumber("IM_STANDIN_ACK_DELAY_MS", 0, 0, kMaxAckDelayMs));
  const std::string failMode = standin::StandInImService::FailMode();
  self.plugin.Receive(
      text, length,
      [&self, failMode](const Json::Value& request) {
        Json::Value answer;
        if (self.service.Handle(request, failMode, &answer)) self.plugin.Deliver(request, answer);
      },
      delayMs);
  return 0;
}

int ImSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  Instance().plugin.SetCallback(callback);
  return 0;
}

}  // extern "C"
