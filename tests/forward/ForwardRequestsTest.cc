// The plugin requests of forwarding against in-process fake plugins: the chat
// request built from a new record, and the time-out each request kind waits.
#include <atomic>
#include <functional>
#include <memory>

#include "adapter/src/bridge/ChatSender.h"
#include "adapter/src/forward/ForwardSupport.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

using std::chrono::milliseconds;

// Every chatInfo field of the chat request comes from its own record field
// (each record field holds a value of its own, so that a field read from
// the wrong one fails); the three conversation fields follow the chat kind.
TEST(ForwardChatRequest, EveryChatInfoFieldFromItsRecordField) {
  RecordInfo record;
  record.clientmessageid = "cmid";
  record.originaccount = "origin";
  record.chattype = 7;
  record.targetaccount = "target";
  record.groupid = "gid";
  record.groupname = "gname";
  record.mediatype = 8;
  record.content = "<r>body</r>";
  record.utcstamp = "111";
  record.timestamp = "222";
  record.peername = "peer";
  record.peernativename = "native";
  record.servermessageid = "smid";  // not sent
  record.showtext = "shown";        // not sent
  const std::string common = R"("msgId": "cmid", "userAccount": "origin", "chatType": 7,
      "chatContentType": 8, "content": "<r>body</r>", "appId": "1", "serverSendTime": "111",
      "clientSendTime": "222", "senderName": "peer", "senderNativeName": "native",
      "isAutoReply": 0, "isAt": 0, "isAppMsg": 0, "isPrivateChat": 0)";
  const struct {
    ForwardChatKind kind;
    std::string chatInfo;
  } cases[] = {
      {ForwardChatKind::kGroup, "{" + common + R"(, "groupId": "gid", "groupName": "gname"})"},
      {ForwardChatKind::kUser, "{" + common + R"(, "receiverAccount": "target"})"},
  };
  for (const auto& c : cases) {
    const Json::Value request = ChatSender::BuildChatRequest(
        135680, "UserChat", ForwardSupport::BuildChatItem(record, c.kind));
    EXPECT_EQ(request["param"]["clientMsgId"].asString(), "cmid");
    EXPECT_EQ(request["param"]["chatInfo"], ParseJson(c.chatInfo))
        << StyledJsonText(request["param"]["chatInfo"]);
  }
}

// One request of each kind; true when it ended with the plugin's answer.
struct KindCase {
  const char* name;
  uint32_t target;
  std::function<void()> call;
};

std::vector<KindCase> ShortWaitKinds() {
  return {
      {"AddHistoryRecord", kTargetStore,
       [] {
         std::string id;
         StoreQueries::AddHistoryRecord(1, RecordInfo(), &id);
       }},
      {"QueryHistoryRecordByMsgId", kTargetStore,
       [] {
         std::vector<RecordInfo> records;
         StoreQueries::QueryHistoryRecordByMsgId(1, {"m1"}, &records);
       }},
      {"QueryGroupInfoByGroupId", kTargetStore,
       [] {
         GroupInfo group;
         StoreQueries::QueryGroupInfoByGroupId(1, "g", &group);
       }},
      {"QueryUserInfoByAccountId", kTargetStore,
       [] {
         UserInfo user;
         StoreQueries::QueryUserInfoByAccountId(1, "u", &user);
       }},
  };
}

std::vector<KindCase> LongWaitKinds() {
  FileListItem entry;
  entry.um_url = "https://host/f/L";
  entry.file_path = "/data/a.png";
  return {
      {"ImUserChat", kTargetIm,
       [] {
         Json::Value ack;
         ChatSender::ImUserChat(1, ChatSendInfo(), &ack);
       }},
      {"ImGroupChat", kTargetIm,
       [] {
         Json::Value ack;
         ChatSender::ImGroupChat(1, ChatSendInfo(), &ack);
       }},
      {"QueryHistoryRecordByReceiveFileMsg", kTargetStore,
       [] {
         std::vector<RecordInfo> records;
         StoreQueries::QueryHistoryRecordByReceiveFileMsg({"a.txt"}, &records);
       }},
      {"UploadFileProc", kTargetOfflineFile,
       [entry] { OfflineFileOps::Instance().UploadFileProc(1, entry, false, false); }},
      {"ForwardFileLinkUpdate", kTargetOfflineFile,
       [entry] { OfflineFileOps::Instance().ForwardFileLinkUpdate(1, entry); }},
      {"CheckMediaExpire", kTargetOfflineFile,
       [entry] { OfflineFileOps::Instance().CheckMediaExpire(1, entry); }},
  };
}

// The two waits are scaled far apart, so that a kind wired to the wrong one
// fails: store requests wait 1 ms, the others 20 s.
class RequestWaitTest : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    hub_sync::SetTimeouts(milliseconds(1), std::chrono::seconds(20));
  }
};

// A store request asked of a silent store gives up long before the long wait.
TEST_F(RequestWaitTest, StoreRequestsWaitTheShortTimeOut) {
  for (const KindCase& kind : ShortWaitKinds()) {
    SetResponder(kind.target, nullptr);
    const auto begin = std::chrono::steady_clock::now();
    kind.call();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)) << kind.name;
  }
}

// A plugin that answers 300 ms late, far past the short wait, is still heard
// by the chat, offline-file and received-file history requests: each returns
// only after the answer was sent.
TEST_F(RequestWaitTest, ChatOfflineFileAndReceivedFileRequestsWaitTheLongTimeOut) {
  for (const KindCase& kind : LongWaitKinds()) {
    auto answered = std::make_shared<std::atomic<bool>>(false);
    SetResponder(kind.target, [answered](const Json::Value& request) {
      Spawn([answered, request] {
        std::this_thread::sleep_for(milliseconds(300));  // the plugin is late
        answered->store(true);
        Answer(AnswerTo(request, ParseJson(R"({"pfile_handle": 5})")));
      });
    });
    kind.call();
    EXPECT_TRUE(answered->load()) << kind.name;
  }
}

}  // namespace
}  // namespace bridge_test
