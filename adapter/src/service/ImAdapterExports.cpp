// The seven exports: each forwards to one object in a line or two, tolerates
// NULL, and lets no exception out.
#include <chrono>
#include <cstdlib>
#include <string>

#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/service/ImAdapterService.h"
#include "adapter/src/migration/MigrationServices.h"
#include "im_adapter/im_adapter.h"
#include "im_adapter/im_plugin.h"
#include "log/AdapterLog.h"

namespace {

PluginApi ImportedPlugins() {
  PluginApi api;
  api.imServiceStartup = IMServiceStartup;
  api.imServiceShutDown = IMServiceShutDown;
  api.imRecvMsgImport = IMRecvMsgImport;
  api.imSetAdapterCallback = ImSetAdapterCallback;
  api.sqliteRecvMsgImport = SqliteRecvMsgImport;
  api.sqliteSetAdapterCallback = SqliteSetAdapterCallback;
  api.offLineFileRecvMsgImport = OffLineFileRecvMsgImport;
  api.offLineSetAdapterCallback = OffLineSetAdapterCallback;
  return api;
}

// Builds the command processor and installs the plugin table when the library
// loads.
//
// Nothing is torn down at unload or exit, on purpose. Every object that a
// thread may still use (the command processor and its queues, the hub, the
// request waiters, the migration state) is never destroyed, so a host that
// returns from main while commands wait, host threads wait in
// IMAdapterSendMsgExport and plugin threads call back, ends without running
// into freed memory. No static destructor of the adapter waits for a thread,
// takes a lock or frees memory: on Windows they run inside DLL_PROCESS_DETACH
// under the loader lock, where the other threads are already gone (process
// exit) and any lock they held (the heap's included) stays held; the one that
// runs there only ends logging (LoggerRegistry::EndLogging). Once started,
// the library is pinned in memory (ImAdapterService::Startup), so FreeLibrary
// or dlclose without IMAdapterShutDown returns at once and never unmaps code
// that the service thread, the hub or a plugin thread is running; those
// threads go on until the host shuts the adapter down or the process ends.
struct LoadTimeSetup {
  LoadTimeSetup() {
    ImAdapterCmd::Instance();
    ImAdapterService::Instance().SetPluginApi(ImportedPlugins());
    MigrationServices::SetReceivedFileQuery(MigrationServices::QueryReceivedFilesFromStore);
  }
};
const LoadTimeSetup kLoadTimeSetup;

}  // namespace

extern "C" {

int IMAdapterStartup(void) {
  try {
    return ImAdapterService::Instance().Startup();
  } catch (...) {
    return -1;
  }
}

int IMAdapterShutDown(void) {
  try {
    return ImAdapterService::Instance().ShutDown();
  } catch (...) {
    return -1;
  }
}

int IMAdapterSetLog(const char* path) {
  try {
    return AdapterLogOpen(3, 5, path, "im_adapter.log");
  } catch (...) {
    return 1;
  }
}

void IMAdapterDispatchMsg(const char* msg, uint32_t length, uint32_t target) {
  try {
    ImAdapterService::Instance().DispatchMsg(msg, length, target);
  } catch (...) {
  }
}

bool IMAdapterSendMsgExport(char** msg) {
  if (msg == nullptr) return false;
  *msg = ImAdapterCmd::Instance().Queues().TakeOutbound();
  return true;
}

bool IMAdapterSendMsgExportTimeout(char** msg, uint32_t timeoutMs) {
  if (msg == nullptr) return false;
  *msg = ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::milliseconds(timeoutMs));
  return *msg != nullptr;
}

void IMAdapterFreeMsg(char* msg) { std::free(msg); }

}  // extern "C"
