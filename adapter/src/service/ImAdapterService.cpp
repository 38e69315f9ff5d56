#include "adapter/src/service/ImAdapterService.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <system_error>

#include "adapter/src/boundary/PluginRoutes.h"
#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"

namespace {

// Frees a queued text when the service thread is done with it.
struct FreeText {
  void operator()(char* text) const { std::free(text); }
};

}  // namespace

ImAdapterService& ImAdapterService::Instance() {
  // Never destroyed: threads may still use it while the process ends.
  static ImAdapterService* const instance = new ImAdapterService();
  return *instance;
}

bool ImAdapterService::IsRunning() const {
  util::MutexLock lock(threadMutex_);
  return thread_.joinable();
}

int ImAdapterService::ServiceStart() {
  util::MutexLock lock(threadMutex_);
  if (thread_.joinable()) return 0;
  PluginRequester::Instance().ResumeWaits();
  OfflineFileOps::Instance().ResumeWaits();
  ImAdapterCallback::Instance().Start();
  stop_.store(false);
  try {
    thread_ = std::thread([this] { ServiceMain(); });
  } catch (const std::system_error& e) {
    IMLOG(kLogErr, "ImAdapterService::ServiceStart",
          std::string("create service thread failed: ") + e.what());
    return -1;
  }
  return 0;
}

void ImAdapterService::ServiceStop() {
  util::MutexLock lock(threadMutex_);
  if (!thread_.joinable()) return;
  stop_.store(true);
  PluginRequester::Instance().StopWaits();
  OfflineFileOps::Instance().StopWaits();
  thread_.join();
  ImAdapterCallback::Instance().Stop();
}

void ImAdapterService::ServiceMain() {
  platform::SetCurrentThreadName("IMAdapterSrvMain");
  util::MessageQueuePair& queues = ImAdapterCmd::Instance().Queues();
  while (!stop_.load()) {
    // Waiting on the queue with the poll interval as time-out wakes the thread
    // as soon as a request arrives, yet checks the stop flag as often as a
    // plain poll would.
    std::unique_ptr<char, FreeText> text(queues.TakeInboundFor(kPollInterval));
    if (!text) continue;
    try {
      ImAdapterCmd::Instance().ProcessRecvMsg(text.get());
    } catch (...) {
      IMLOG(kLogErr, "IMAdapterSrvMain", "a command ended with an exception");
    }
  }
}

int ImAdapterService::Startup() {
  // The plugins keep our callback for the rest of the process, so a started
  // library is never unmapped: a later FreeLibrary or dlclose returns without
  // unloading, and the threads go on serving instead of being told to stop, as
  // a plugin calling back into an unloaded library would take the host down.
  platform::PinLibraryContaining(reinterpret_cast<const void*>(&IMAdapterServiceCallback));
  ServiceStart();
  const PluginApi& api = Api();
  int result = api.imServiceStartup ? api.imServiceStartup() : -1;
  if (api.imSetAdapterCallback) api.imSetAdapterCallback(IMAdapterServiceCallback);
  if (api.sqliteSetAdapterCallback) api.sqliteSetAdapterCallback(IMAdapterServiceCallback);
  if (api.offLineSetAdapterCallback) api.offLineSetAdapterCallback(IMAdapterServiceCallback);
  return result;
}

int ImAdapterService::ShutDown() {
  ServiceStop();
  const PluginApi& api = Api();
  return api.imServiceShutDown ? api.imServiceShutDown() : -1;
}

void ImAdapterService::SetPluginApi(const PluginApi& api) { PluginRoutes::Instance().SetApi(api); }

const PluginApi& ImAdapterService::Api() const { return PluginRoutes::Instance().Api(); }

void ImAdapterService::DispatchMsg(const char* text, uint32_t length, uint32_t target) {
  PluginRoutes::Instance().Route(text, length, target);
}

extern "C" int IMAdapterServiceCallback(const char* text) {
  if (text == nullptr) return 0;
  try {
    IMLOG(kLogDbg, "IMAdapterServiceCallback", std::string("rsp msg <<< ") + text);
    ImAdapterCallback::Instance().Post(text);
  } catch (...) {
    // Nothing may reach the plugin's thread.
  }
  return 0;
}
