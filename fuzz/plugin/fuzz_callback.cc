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

const std::vector<std::function<void()>>& Requests() {
  static const std::vector<std::function<void()>> requests = {
      [] {
        std::string id;
        StoreQueries::AddHistoryRecord(kHostSno, RecordInfo(), &id);
      },
      [] {
        std::vector<RecordInfo> records;
        StoreQueries::QueryHistoryRecordByMsgId(kHostSno, {"m1", "m2"}, &records);
      },
      [] {
        std::vector<RecordInfo> records;
        StoreQueries::QueryHistoryRecordByReceiveFileMsg({"f.txt"}, &records);
      },
      [] {
        GroupInfo group;
        StoreQueries::QueryGroupInfoByGroupId(kHostSno, "g1", &group);
      },
      [] {
        UserInfo user;
        StoreQueries::QueryUserInfoByAccountId(kHostSno, "u1", &user);
      },
      [] {
        Json::Value ack;
        ChatSender::ImUserChat(kHostSno, Chat(), &ack);
      },
      [] {
        Json::Value ack;
        ChatSender::ImGroupChat(kHostSno, Chat(), &ack);
      },
      [] {
        std::vector<FileListItem> results;
        OfflineFileOps::Instance().UploadFile(kHostSno, {Entry(), Entry()}, &results, true, false);
      },
      [] { OfflineFileOps::Instance().ForwardFileLinkUpdate(kHostSno, Entry()); },
      [] { OfflineFileOps::Instance().CheckMediaExpire(kHostSno, Entry()); },
  };
  return requests;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::AdapterHarness& harness = fuzz::AdapterHarness::Instance();
  fuzz::ScriptedPlugins& plugins = fuzz::ScriptedPlugins::Instance();
  const std::vector<std::string> texts = fuzz::SplitPieces(data + 1, size - 1);
  harness.Begin({});
  std::thread service(Requests()[data[0] % Requests().size()]);
  if (plugins.WaitForRequest(std::chrono::seconds(5))) {
    for (const std::string& text : texts) {
      IMAdapterServiceCallback(fuzz::WithSno(text, plugins.LastSno()).c_str());
    }
  }
  service.join();
  harness.End();
  return 0;
}
