// The plugin requests of forwarding against in-process fake plugins: the chat
// request built from a new record, the time-out each request kind waits, and
// the table of forwarding runs in progress.
#include <cstdlib>
#include <functional>
#include <future>

#include "adapter/src/bridge/ChatSender.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "adapter/src/forward/ForwardRequestTable.h"
#include "adapter/src/forward/ForwardSupport.h"
#include "adapter/src/service/ImAdapterCmd.h"
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

// One request of each kind, with the time-out it must wait for.
struct KindCase {
  const char* name;
  uint32_t target;
  RequestWait wait;
  std::function<void()> call;
};

std::vector<KindCase> Kinds() {
  // What the requests fill in (one request runs at a time).
  static std::string id;
  static std::vector<RecordInfo> records;
  static GroupInfo group;
  static UserInfo user;
  static Json::Value ack;
  FileListItem entry;
  entry.um_url = "https://host/f/L";
  entry.file_path = "/data/a.png";
  return {
      {"AddHistoryRecord", kTargetStore, RequestWait::kStore,
       [] { StoreQueries::AddHistoryRecord(1, RecordInfo(), &id); }},
      {"QueryHistoryRecordByMsgId", kTargetStore, RequestWait::kStore,
       [] { StoreQueries::QueryHistoryRecordByMsgId(1, {"m1"}, &records); }},
      {"QueryGroupInfoByGroupId", kTargetStore, RequestWait::kStore,
       [] { StoreQueries::QueryGroupInfoByGroupId(1, "g", &group); }},
      {"QueryUserInfoByAccountId", kTargetStore, RequestWait::kStore,
       [] { StoreQueries::QueryUserInfoByAccountId(1, "u", &user); }},
      {"ImUserChat", kTargetIm, RequestWait::kLong,
       [] { ChatSender::ImUserChat(1, ChatSendInfo(), &ack); }},
      {"ImGroupChat", kTargetIm, RequestWait::kLong,
       [] { ChatSender::ImGroupChat(1, ChatSendInfo(), &ack); }},
      {"QueryHistoryRecordByReceiveFileMsg", kTargetStore, RequestWait::kLong,
       [] { StoreQueries::QueryHistoryRecordByReceiveFileMsg({"a.txt"}, &records); }},
      {"UploadFileProc", kTargetOfflineFile, RequestWait::kLong,
       [entry] { OfflineFileOps::Instance().UploadFileProc(1, entry, false, false); }},
      {"ForwardFileLinkUpdate", kTargetOfflineFile, RequestWait::kLong,
       [entry] { OfflineFileOps::Instance().ForwardFileLinkUpdate(1, entry); }},
      {"CheckMediaExpire", kTargetOfflineFile, RequestWait::kLong,
       [entry] { OfflineFileOps::Instance().CheckMediaExpire(1, entry); }},
  };
}

// Each kind, asked of a plugin that never answers, gives up at its own
// time-out: that one is 1 ms and the other an hour, so a kind wired to the
// wrong one does not return and fails (its wait is then ended as a service
// stop ends it).
TEST_F(BridgeTest, EachRequestKindWaitsItsOwnTimeOut) {
  for (const KindCase& kind : Kinds()) {
    const size_t asked = Received(kind.target).size();
    const bool store = kind.wait == RequestWait::kStore;
    hub_sync::SetTimeouts(store ? milliseconds(1) : std::chrono::hours(1),
                          store ? std::chrono::hours(1) : milliseconds(1));
    std::future<void> request = std::async(std::launch::async, kind.call);
    const bool returned = request.wait_for(kTestWait) == std::future_status::ready;
    EXPECT_TRUE(returned) << kind.name << " waits the other kind's time-out";
    EXPECT_EQ(Received(kind.target).size(), asked + 1) << kind.name;
    if (!returned) PluginRequester::Instance().StopWaits();
    request.wait();
    PluginRequester::Instance().ResumeWaits();
  }
}

// The forwarding request table holds a run while it waits on the store and
// no longer once the run ends: at once on an error (no param), on an error
// after the store found nothing, or with its reply.
TEST_F(BridgeTest, ForwardRequestTableKeepsOnlyRunsInProgress) {
  std::vector<size_t> sizesWhileAsking;
  SetResponder(kTargetStore, [&](const Json::Value& request) {
    sizesWhileAsking.push_back(ForwardRequestTable::Size());
    Json::Value param(Json::objectValue);
    const Json::Value& match = request["param"]["_multimatchinfo"]["datalist"][0];
    if (request["cmd"] == 57 && match["match_value"] == "m") {
      param["_historyrecordlist"].append(ParseJson(R"({"clientmessageid": "m"})"));
    }
    Answer(AnswerTo(request, param));
  });
  const std::string ids = R"(, "param": {"userAccount": "me", "groupId": "g", "isOnlySaveLocal": 1,
      "msgIdList": )";
  const struct {
    std::string request;
    int result;
  } cases[] = {{R"({"cmd": 1, "sno": 1})", -1},
               {R"({"cmd": 2, "sno": 2)" + ids + R"(["gone"]}})", -1},
               {R"({"cmd": 1, "sno": 3)" + ids + R"(["m"]}})", 0},
               {R"({"cmd": 2, "sno": 4)" + ids + R"(["m"]}})", 0}};
  for (const auto& c : cases) {
    sizesWhileAsking.clear();
    ImAdapterCmd::Instance().ProcessRecvMsg(c.request.c_str());
    EXPECT_EQ(ForwardRequestTable::Size(), 0u) << c.request;
    EXPECT_EQ(sizesWhileAsking, std::vector<size_t>(sizesWhileAsking.size(), 1u)) << c.request;
    EXPECT_EQ(sizesWhileAsking.empty(), c.request.find("param") == std::string::npos);
    char* reply = ImAdapterCmd::Instance().Queues().TakeOutboundFor(kTestWait);
    EXPECT_EQ(ParseJson(reply ? reply : "")["result"], c.result) << c.request;
    std::free(reply);
  }
}

}  // namespace
}  // namespace bridge_test
