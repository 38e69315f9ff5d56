// The seven exports: each forwards to one object in a line or two, tolerates
// NULL, and lets no exception out.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapter/src/ImAdapterCmd.h"
#include "adapter/src/ImAdapterService.h"
#include "adapter/src/MigrationCommands.h"
#include "adapter/src/MigrationServices.h"
#include "adapter/src/RecordInfo.h"
#include "adapter/src/StoreQueries.h"
#include "adapter/src/fileMigrationWorker.h"
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

// The received-files migration asks the store which files of a folder are
// received-file messages: each record gives the name its file has in the
// folder and the record's type.
void QueryReceivedFilesFromStore(const std::vector<std::string>& names,
                                 std::vector<ReceivedFileRecord>* out) {
  std::vector<RecordInfo> records;
  StoreQueries::QueryHistoryRecordByReceiveFileMsg(names, &records);
  for (const RecordInfo& record : records) {
    for (const FileListItem& file : record.fileList) {
      const std::string& name =
          file.file_real_save_name.empty() ? file.file_name : file.file_real_save_name;
      if (!name.empty()) out->push_back({name, record.mediatype});
    }
  }
}

// Builds the command processor and installs the plugin table when the library
// loads. At unload the service thread (when the host never shut it down) and a
// migration still running are stopped, so that no thread runs into a command
// processor being destroyed.
struct LoadTimeSetup {
  LoadTimeSetup() {
    ImAdapterCmd::Instance();
    ImAdapterService::Instance().SetPluginApi(ImportedPlugins());
    MigrationServices::SetReceivedFileQuery(QueryReceivedFilesFromStore);
  }
  ~LoadTimeSetup() {
    ImAdapterService::Instance().StopForUnload();
    fileMigrationWorker::migrationFileShutdown();
    WaitForMigrationThreadsFor(std::chrono::seconds(5));
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
