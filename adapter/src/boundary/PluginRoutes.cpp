#include "adapter/src/boundary/PluginRoutes.h"

#include <string>

#include "adapter/src/boundary/HostChannel.h"
#include "log/AdapterLog.h"

PluginRoutes& PluginRoutes::Instance() {
  // Never destroyed: threads may still route while the process ends.
  static PluginRoutes* const instance = new PluginRoutes();
  return *instance;
}

void PluginRoutes::Route(const char* text, uint32_t length, uint32_t target) {
  switch (target) {
    case kTargetIm0:
    case kTargetIm:
      if (api_.imRecvMsgImport) api_.imRecvMsgImport(text, length);
      break;
    case kTargetStore:
      if (api_.sqliteRecvMsgImport) api_.sqliteRecvMsgImport(text, length);
      break;
    case kTargetOfflineFile:
      if (api_.offLineFileRecvMsgImport) api_.offLineFileRecvMsgImport(text, length);
      break;
    case kTargetAdapter:
      HostChannel::Instance().Queues().PushInbound(text, length);
      break;
    default:
      break;
  }
}

void IMAdapterServiceDispatchMsg(const char* text, uint32_t length, uint32_t target) {
  if (AdapterLogEnabled(kLogDbg) && text != nullptr) {
    IMLOG(kLogDbg, "IMAdapterServiceDispatchMsg", "req msg <<< " + std::string(text, length));
  }
  PluginRoutes::Instance().Route(text, length, target);
}
