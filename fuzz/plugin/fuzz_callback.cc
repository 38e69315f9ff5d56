// Plugin texts into the adapter's callback while a request waits. The first
// byte of the input picks the request, which runs on a thread of its own (as
// on the service thread) against silent plugins; the rest of the input, cut
// at "\n#\n", is posted text by text to the callback from the fuzzer's thread
// ("$SNO" replaced by the serial number of the request last sent). The hub
// hands them to the waiting request, to an upload batch's notification
// handler, or drops them.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/bridge/ChatSender.h"
#include "adapter/src/service/ImAdapterService.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "fuzz/support/AdapterHarness.h"
#include "fuzz/support/ScriptedPlugins.h"

namespace {

constexpr int32_t kHostSno = 7;

// Where the requests leave their results: one request runs at a time.
std::string id;
std::vector<RecordInfo> records;
GroupInfo group;
UserInfo user;
Json::Value ack;
std::vector<FileListItem> results;

FileListItem Entry() {
  FileListItem entry;
  entry.file_name = "f.txt";
  entry.file_path = "files/f.txt";
  entry.um_url = "https://files.example/s/AbC123";
  return entry;
}

ChatSendInfo Chat() {
  ChatSendInfo item;
  item.msgId = "m1";
  return item;
}

const std::vector<std::string> kIds = {"m1", "m2"};
const std::vector<std::string> kNames = {"f.txt"};
const std::vector<FileListItem> kEntries = {Entry(), Entry()};
const std::function<void()> kRequests[] = {
    [] { StoreQueries::AddHistoryRecord(kHostSno, RecordInfo(), &id); },
    [] { StoreQueries::QueryHistoryRecordByMsgId(kHostSno, kIds, &records); },
    [] { StoreQueries::QueryHistoryRecordByReceiveFileMsg(kNames, &records); },
    [] { StoreQueries::QueryGroupInfoByGroupId(kHostSno, "g1", &group); },
    [] { StoreQueries::QueryUserInfoByAccountId(kHostSno, "u1", &user); },
    [] { ChatSender::ImUserChat(kHostSno, Chat(), &ack); },
    [] { ChatSender::ImGroupChat(kHostSno, Chat(), &ack); },
    [] { OfflineFileOps::Instance().UploadFile(kHostSno, kEntries, &results, true, false); },
    [] { OfflineFileOps::Instance().ForwardFileLinkUpdate(kHostSno, Entry()); },
    [] { OfflineFileOps::Instance().CheckMediaExpire(kHostSno, Entry()); },
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::AdapterHarness& harness = fuzz::AdapterHarness::Instance();
  fuzz::ScriptedPlugins& plugins = fuzz::ScriptedPlugins::Instance();
  const std::vector<std::string> texts = fuzz::SplitPieces(data + 1, size - 1);
  harness.Begin({});
  records.clear();  // the received-file query adds to what it is given
  std::thread service(kRequests[data[0] % std::size(kRequests)]);
  if (plugins.WaitForRequest(std::chrono::seconds(5))) {
    for (const std::string& text : texts) {
      IMAdapterServiceCallback(fuzz::WithSno(text, plugins.LastSno()).c_str());
    }
  }
  service.join();
  harness.End();
  return 0;
}
