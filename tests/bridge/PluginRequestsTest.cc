// The requests to the plugins: chat sending and its ack, the store queries and
// the decoding of their answers, the offline-file requests and upload batches
// whose notifications come in every order, late or never.
#include <atomic>
#include <tuple>

#include "adapter/src/bridge/ChatSender.h"
#include "adapter/src/bridge/ImAdapterNotify.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "tests/bridge/FakePlugins.h"
#include "util/Utils.h"

namespace bridge_test {
namespace {

using std::chrono::milliseconds;

void ExpectLastRequest(uint32_t target, int cmd, const char* description, const char* param) {
  const Json::Value request = Received(target).back();
  EXPECT_EQ(request["cmd"], Json::Value(cmd));
  EXPECT_EQ(request["description"], Json::Value(description));
  EXPECT_EQ(request["param"], ParseJson(param));
}

// The target answers every request with the param text; nullptr: it stays silent.
void Answers(uint32_t target, const char* param, int result = 0) {
  if (param == nullptr) {
    SetResponder(target, nullptr);
    return hub_sync::SetTimeouts(milliseconds(60), milliseconds(60));
  }
  const Json::Value value = ParseJson(param);
  SetResponder(target, [value, result](const Json::Value& request) {
    Answer(AnswerTo(request, value, result));
  });
}

// A chat item with every field set to a value of its own, in declaration order.
ChatSendInfo FullItem() {
  return ChatSendInfo{"m-1",   "alice", 0,        "bob",  "g",     2,         "<imbody/>", "app",
                      "solid", "ext",   "1",      0,      1,       "at-m",    "at-s",      3,
                      "at-t",  "at-e",  "at-r",   1,      "as-id", "as-name", "as-icon",   4,
                      "2",     "Alice", "Alicia", "Team", 5,       "zv",      "back",      0,
                      "p",     0,       6,        7,      1,       "3"};
}

TEST(ChatRequestTest, EveryFieldGoesToItsMemberAndUnsetOnesAreLeftOut) {
  const Json::Value request = ChatSender::BuildChatRequest(135680, "UserChat", FullItem());
  // Compared as a whole: a missing, misplaced or extra member fails.
  EXPECT_EQ(request, ParseJson(R"({"cmd": 135680, "description": "UserChat", "param": {
      "clientMsgId": "m-1", "isOnlyPc": 1, "clientSendTime": "3", "chatInfo": {
        "msgId": "m-1", "userAccount": "alice", "chatType": 0, "receiverAccount": "bob",
        "groupId": "g", "chatContentType": 2, "content": "<imbody/>", "appId": "app",
        "solidContent": "solid", "msgExt": "ext", "serverSendTime": "1", "isAutoReply": 0,
        "isAt": 1, "isAppMsg": 1, "clientSendTime": "2", "senderName": "Alice",
        "senderNativeName": "Alicia", "groupName": "Team", "groupType": 5, "isPrivateChat": 0,
        "isMeetingMsg": 0, "receiptState": 6, "receiptCount": 7,
        "chatAtInfo": {"msgId": "at-m", "senderAccount": "at-s", "chatAtType": 3,
                       "targetAccounts": "at-t", "chatAtExt": "at-e", "targetRobots": "at-r"},
        "appServiceInfo": {"appServiceId": "as-id", "appServiceName": "as-name",
                           "appServiceIcon": "as-icon", "appServiceTag": 4},
        "pushExtData": {"zvPushExt": "zv", "backPushExt": "back"},
        "chatPrivateInfo": {"privateAccounts": "p"}}}})"))
      << StyledJsonText(request);

  ChatSendInfo item;  // nothing set
  EXPECT_EQ(ChatSender::BuildChatRequest(135682, "GroupChat", item)["param"],
            ParseJson(R"({"isOnlyPc": 0})"));
  item.chatAtType = 0;  // one member of a sub-object makes the sub-object
  item.groupType = -1;
  EXPECT_EQ(ChatSender::BuildChatRequest(135682, "GroupChat", item)["param"],
            ParseJson(R"({"isOnlyPc": 0, "chatInfo": {"chatAtInfo": {"chatAtType": 0}}})"));
}

TEST_F(BridgeTest, ChatAckIsTheServiceAnswerWithTheMessageIdOrTheTimeoutAck) {
  // {group chat, the service answers, its "clientMsgId" (empty: none), sent msgId, expected}
  const std::tuple<bool, bool, std::string, std::string, const char*> cases[] = {
      {false, true, "", "m-1",
       R"({"rsp": 135680, "result": 0, "param": {}, "clientMsgId": "m-1"})"},
      {true, true, "", "m-1", R"({"rsp": 135682, "result": 0, "param": {}, "clientMsgId": "m-1"})"},
      {false, true, "from-service", "m-1",
       R"({"rsp": 135680, "result": 0, "param": {}, "clientMsgId": "from-service"})"},
      {false, false, "", "m-1", R"({"result": -100, "resultDes": "timeout",
          "description": "UserChatAck", "rsp": 135680, "clientMsgId": "m-1"})"},
      {true, false, "", "m-2", R"({"result": -100, "resultDes": "timeout",
          "description": "GroupChatAck", "rsp": 135682, "clientMsgId": "m-2"})"},
      {false, false, "", "", R"({"result": -100, "resultDes": "timeout",
          "description": "UserChatAck", "rsp": 135680, "clientMsgId": ""})"}};
  for (const auto& [group, answers, ownId, msgId, expectedText] : cases) {
    SCOPED_TRACE(expectedText);
    if (!answers) hub_sync::SetTimeouts(milliseconds(80), milliseconds(80));
    SetResponder(kTargetIm, [answers = answers, own = ownId](const Json::Value& request) {
      Json::Value answer = AnswerTo(request, Json::Value(Json::objectValue));
      if (!own.empty()) answer["clientMsgId"] = own;
      if (answers) Answer(answer);
    });
    ChatSendInfo item;
    item.msgId = msgId;
    Json::Value ack;
    (group ? ChatSender::ImGroupChat : ChatSender::ImUserChat)(12, item, &ack);
    const Json::Value request = Received(kTargetIm).back();
    EXPECT_EQ(request["cmd"], Json::Value(group ? 135682 : 135680));
    EXPECT_EQ(request["description"], Json::Value(group ? "GroupChat" : "UserChat"));
    EXPECT_EQ(request["adapter"], Json::Value(1));
    EXPECT_EQ(request["param"].isMember("clientMsgId"), !msgId.empty());
    Json::Value expected = ParseJson(expectedText);
    expected["sno"] = request["sno"];
    EXPECT_EQ(ack, expected);
  }
}

TEST_F(BridgeTest, ChatsFromThreadsThatEndEachGetTheirOwnAck) {
  // The service answers every request from a thread of its own, in reverse
  // order of arrival once all are in; every sending thread ends after its ack,
  // and so does each answering thread (the JSON text helpers ran on all of them).
  constexpr int kSenders = 4;
  std::vector<Json::Value> acks(kSenders);
  std::vector<std::thread> senders;
  for (int i = 0; i < kSenders; ++i) {
    senders.emplace_back([i, &acks] {
      ChatSendInfo item;
      item.msgId = "m-" + std::to_string(i);
      ChatSender::ImUserChat(i, item, &acks[i]);
    });
  }
  ASSERT_TRUE(WaitForRequests(kTargetIm, kSenders));
  const std::vector<Json::Value> requests = Received(kTargetIm);
  for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
    const Json::Value answer = AnswerTo(*it, Json::Value(Json::objectValue));
    Spawn([answer] { Answer(answer); });
  }
  for (std::thread& sender : senders) sender.join();
  std::map<Json::Value, Json::Value> sentIdBySno;
  for (const Json::Value& request : requests) {
    sentIdBySno[request["sno"]] = request["param"]["clientMsgId"];
  }
  for (int i = 0; i < kSenders; ++i) {
    EXPECT_EQ(acks[i]["result"], Json::Value(0)) << i;
    EXPECT_EQ(acks[i]["clientMsgId"], Json::Value("m-" + std::to_string(i)));
    EXPECT_EQ(sentIdBySno[acks[i]["sno"]], acks[i]["clientMsgId"]) << StyledJsonText(acks[i]);
  }
}

// Each query checks its request and gives what the caller gets as text.
std::string ByMsgId() {  // replaces the records; not an array is "param invalid"
  std::vector<RecordInfo> records(3);
  StoreQueries::QueryHistoryRecordByMsgId(7, {"m1", "m2", "m3"}, &records);
  ExpectLastRequest(kTargetStore, 57, "zeb_sqlite_query_historyrecord",
                    R"({"_multimatchinfo": {"datalist": [{"keytype": 3, "match_value":
                        "m1,m2,m3"}], "datalen": 1, "operationtype": 3}})");
  std::string out = std::to_string(records.size());
  for (const RecordInfo& r : records) {
    out += " " + r.clientmessageid;
    for (const FileListItem& f : r.fileList) out += "[" + f.file_name + " " + f.um_url + "]";
  }
  return out;
}
std::string ByReceiveFile() {  // appends: the last record id of how many
  std::vector<RecordInfo> records(1);
  StoreQueries::QueryHistoryRecordByReceiveFileMsg({"a.txt", "b.txt"}, &records);
  ExpectLastRequest(kTargetStore, 57, "zeb_sqlite_query_historyrecord",
                    R"({"_multimatchinfo": {"datalist": [{"keytype": 9, "match_value":
                        ["a.txt", "b.txt"]}], "datalen": 1, "operationtype": 67}})");
  return records.back().recordid + "/" + std::to_string(records.back().mediatype) + "/" +
         std::to_string(records.size());
}
std::string AddRecord() {  // only a text record id is read
  RecordInfo record;
  record.clientmessageid = "cm-1";
  std::string recordId = "before";
  StoreQueries::AddHistoryRecord(4, record, &recordId);
  const Json::Value added = Received(kTargetStore).back();
  EXPECT_EQ(added["cmd"], Json::Value(54));
  EXPECT_EQ(added["description"], Json::Value("zeb_sqlite_add_historyrecord"));
  EXPECT_EQ(added["param"]["_historyrecord"]["clientmessageid"], Json::Value("cm-1"));
  return recordId;
}
std::string Group() {  // the first group's name
  GroupInfo group;
  group.name = "unchanged";
  StoreQueries::QueryGroupInfoByGroupId(5, "g1", &group);
  ExpectLastRequest(kTargetStore, 31, "zeb_sqlite_query_groupinfo",
                    R"({"_multimatchinfo": {"datalist": [{"keytype": 1, "match_value": "g1"}],
                        "datalen": 1, "operationtype": 1}})");
  return group.name;
}
std::string User() {  // the member name is case-sensitive; absent names come back empty
  UserInfo user;
  user.name = "old";
  user.foreignName = "old-f";
  StoreQueries::QueryUserInfoByAccountId(6, "acc-1", &user);
  ExpectLastRequest(kTargetStore, 155, "zeb_sqlite_query_userinfo_by_account_from_contact",
                    R"({"_matchinfo": {"accountid": "acc-1"}})");
  return user.name + "/" + user.foreignName;
}

// Each query against the store's "param" (nullptr: silent) and "result".
TEST_F(BridgeTest, StoreQueriesSendTheirRequestsAndDecodeTheAnswers) {
  const std::string files = util::Base64Encode(R"([{"file_name": "a.png", "um_url": "u/f/x"}])");
  const std::string withFiles = R"({"_historyrecordlist": [{"clientmessageid": "m1",
      "filelist": ")" + files + R"("}, {"clientmessageid": "m2", "filelist": "not base64"}]})";
  const std::tuple<std::string (*)(), const char*, int, std::string> cases[] = {
      {ByMsgId, withFiles.c_str(), 0, "2 m1[a.png u/f/x] m2"},
      {ByMsgId, R"({"_historyrecordlist": []})", 0, "0"},
      {ByMsgId, R"({"_historyrecordlist": {}})", 0, "0"},
      {ByMsgId, R"({})", 0, "0"},
      {ByMsgId, nullptr, 0, "3   "},
      {ByReceiveFile, R"({"_historyrecordlist": [{"recordid": "r9", "mediatype": 2}]})", 0,
       "r9/2/2"},
      {ByReceiveFile, nullptr, 0, "/-1/1"},
      {AddRecord, R"({"recordId": "r-77"})", 0, "r-77"},
      {AddRecord, R"({"recordId": "r-1"})", -1, "r-1"},  // a failing "result" is read anyway
      {AddRecord, R"({"recordId": 12})", 0, "before"},
      {AddRecord, R"([])", 0, "before"},
      {AddRecord, nullptr, 0, "before"},
      {Group, R"({"_groupinfolist": [{"name": "First"}, {"name": "Second"}]})", 0, "First"},
      {Group, R"({"_groupinfolist": []})", 0, "unchanged"},
      {Group, R"({"_groupinfolist": "x"})", 0, "unchanged"},
      {Group, nullptr, 0, "unchanged"},
      {User, R"({"UserInfo": {"name": "Zhang", "foreignName": "John"}})", 0, "Zhang/John"},
      {User, R"({"UserInfo": {"name": "Li"}})", 0, "Li/"},
      {User, R"({"userinfo": {"name": "Li"}})", 0, "old/old-f"},
      {User, nullptr, 0, "old/old-f"}};
  for (const auto& [query, param, result, expected] : cases) {
    Answers(kTargetStore, param, result);
    EXPECT_EQ(query(), expected) << (param ? param : "silent");
  }
  EXPECT_EQ(StoreQueries::JoinMsgIds({}), "");
  EXPECT_EQ(StoreQueries::JoinMsgIds({"", "b"}), ",b");
}

// The link code is the text after the last "/f/"; an answer means "expired"
// unless it has an object "param" and a "result" of 0 (or none); only an
// unsigned "pfile_handle" in "param" is a handle.
TEST(OfflineAnswerTest, LinkCodesExpiryAndHandles) {
  // clang-format off
  const std::pair<const char*, const char*> links[] = {{"https://host/f/abc", "abc"},
      {"https://host/f/abc/f/def", "def"}, {"https://host/f/", ""}, {"", ""},
      {"https://host/share/abc", "https://host/share/abc"}, {"/f/x?y=1", "x?y=1"}};
  const std::pair<const char*, bool> expiry[] = {{R"({"param": {}, "result": 0})", false},
      {R"({"param": {}})", false}, {R"({"param": {}, "result": 3})", true},
      {R"({"param": {}, "result": -1})", true}, {R"({"param": {}, "result": "0"})", true},
      {R"({"result": 0})", true}, {R"({"param": [], "result": 0})", true},
      {R"({"param": "x", "result": 0})", true}};
  const std::pair<const char*, int32_t> handles[] = {{R"({"param": {"pfile_handle": 7}})", 7},
      {R"({"param": {"pfile_handle": 0}})", 0}, {R"({"param": {"pfile_handle": -7}})", -1},
      {R"({"param": {"pfile_handle": "7"}})", -1}, {R"({"param": {}})", -1},
      {R"({"pfile_handle": 7})", -1}};
  // clang-format on
  for (const auto& [url, code] : links)
    EXPECT_EQ(OfflineFileOps::ExtractLinkCode(url), code) << url;
  for (const auto& [answer, expired] : expiry) {
    EXPECT_EQ(OfflineFileOps::KelmarCheckMediaIsExpire(ParseJson(answer)), expired) << answer;
  }
  for (const auto& [answer, handle] : handles) {
    EXPECT_EQ(OfflineFileOps::GetFileHandle(ParseJson(answer)), handle) << answer;
  }
}

// Expiry checks and link updates ask by link code; a silent plugin means
// expired, and a link update returns either way.
TEST_F(BridgeTest, ExpiryCheckAndLinkUpdateSendTheLinkCodes) {
  FileListItem entry;
  entry.um_url = "https://host/f/LINK";
  entry.um_plain_access_code = "PW";
  const std::tuple<const char*, int, bool> cases[] = {
      {"{}", 0, false}, {"{}", 3, true}, {nullptr, 0, true}};
  for (const auto& [param, result, expired] : cases) {
    Answers(kTargetOfflineFile, param, result);
    EXPECT_EQ(OfflineFileOps::Instance().CheckMediaExpire(2, entry), expired) << result;
    ExpectLastRequest(kTargetOfflineFile, 37, "zeb_offlinefile_query_info_by_link_code",
                      R"({"link_code": "LINK", "access_code": "PW"})");
  }
  entry.um_url = "https://host/f/A/f/B";
  entry.um_plain_access_code = "";
  for (const char* param : {"{}", static_cast<const char*>(nullptr)}) {
    Answers(kTargetOfflineFile, param, 5);
    OfflineFileOps::Instance().ForwardFileLinkUpdate(1, entry);
    ExpectLastRequest(kTargetOfflineFile, 40, "zeb_offlinefile_forward_file_link_update",
                      R"({"link_code": "B", "access_code": ""})");
  }
  EXPECT_EQ(Received(kTargetOfflineFile).size(), 5u);
}

Json::Value UploadAnswer(const Json::Value& request, int handle) {
  return AnswerTo(request, ParseJson("{\"pfile_handle\": " + std::to_string(handle) + "}"));
}

// The notification of upload `handle`; its link is https://cloud/f/code<handle><tag>.
Json::Value UploadNotification(int handle, const std::string& tag = "") {
  const std::string h = std::to_string(handle);
  return ParseJson(R"({"notify": 1, "param": {"code": 0, "file_handle": )" + h +
                   R"(, "filersp": {"status_code": 200, "url": "https://cloud/f/code)" + h + tag +
                   R"(", "plain_access_code": "ac)" + h + R"("}}})");
}

std::vector<FileListItem> Entries(int count) {
  std::vector<FileListItem> entries(count);
  for (int i = 0; i < count; ++i) {
    entries[i].file_name = "f" + std::to_string(i) + ".png";
    entries[i].file_path = "/data/f" + std::to_string(i) + ".png";
    entries[i].um_url = "https://old/f/old" + std::to_string(i);
    entries[i].expire = 1;
  }
  return entries;
}

// "<file name> <handle> <link> <access code> <expire>" of each result.
std::vector<std::string> Uploads(const std::vector<FileListItem>& results) {
  std::vector<std::string> out;
  for (const FileListItem& r : results) {
    out.push_back(r.file_name + " " + std::to_string(r.file_handle) + " " + r.um_url + " " +
                  r.um_plain_access_code + " " + std::to_string(r.expire));
  }
  return out;
}

// The line of entry `index` uploaded under `handle`, with its new link.
std::string Uploaded(int index, int handle) {
  const std::string h = std::to_string(handle);
  return "f" + std::to_string(index) + ".png " + h + " https://cloud/f/code" + h + " ac" + h + " 0";
}

class UploadTest : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    // A lost notification fails a batch after 3 s instead of the shipped quiet time.
    hub_sync::SetTimeouts(kTestWait, kTestWait, milliseconds(3000));
  }
  // Handles given out by the fake offline-file plugin, first 101.
  std::shared_ptr<std::atomic<int>> handles_ = std::make_shared<std::atomic<int>>(101);
};

TEST_F(UploadTest, UploadRequestCarriesTheFullUploadInfo) {
  SetResponder(kTargetOfflineFile,
               [](const Json::Value& request) { Answer(UploadAnswer(request, 55)); });
  FileListItem entry = Entries(1)[0];
  EXPECT_EQ(OfflineFileOps::Instance().UploadFileProc(1, entry, true, false), 55);
  const Json::Value request = Received(kTargetOfflineFile).back();
  EXPECT_EQ(request["cmd"], Json::Value(6));
  EXPECT_EQ(request["description"], Json::Value("zeb_offlinefile_uploadfile"));
  EXPECT_EQ(request["param"]["up_file_info"], ParseJson(R"({
      "delete_file": true, "file_type": "", "file_name": "f0.png", "resume_down_url": "",
      "resume_file_id": "", "resume_md5": "", "resume_up_url": "", "resume_signature": "",
      "use_svn_file": false, "operation_token": "", "group_id": "",
      "public_share_link": 1, "is_cross_instance": 0, "file_path": "/data/f0.png"})"));
  EXPECT_EQ(OfflineFileOps::UploadFileInfo(entry, false, true)["is_cross_instance"],
            Json::Value(1));
}

TEST_F(UploadTest, NotificationsAfterTheLastAnswerInAnyOrder) {
  auto lastAnswered = std::make_shared<Latch>();
  SetResponder(kTargetOfflineFile, [handles = handles_, lastAnswered](const Json::Value& request) {
    const int handle = handles->fetch_add(1);
    Answer(UploadAnswer(request, handle));
    if (handle == 103) lastAnswered->Open();
  });
  std::vector<FileListItem> results;
  std::thread service(
      [&results] { OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false); });
  ASSERT_TRUE(lastAnswered->WaitOpen());
  DrainHub();  // every answer handled: the service thread now waits for notifications
  for (int handle : {103, 101, 102}) Answer(UploadNotification(handle));
  service.join();
  EXPECT_EQ(Uploads(results),
            (std::vector<std::string>{Uploaded(0, 101), Uploaded(1, 102), Uploaded(2, 103)}));
}

// Each accepted upload is reported right after its answer, on the same thread,
// before the requesting thread has even woken up; such notifications are never
// lost. Request 2 gets no answer, request 4 an answer without a handle. Of the
// accepted uploads, 103 never reports and 104 reports malformed (both left out
// after the quiet time); 105 reports a failure code without a link, which still
// counts as done and clears the link.
TEST_F(UploadTest, FailedUploadsAndLostNotificationsAreLeftOut) {
  hub_sync::SetTimeouts(milliseconds(80), milliseconds(80));
  auto calls = std::make_shared<std::atomic<int>>(0);
  SetResponder(kTargetOfflineFile, [calls, handles = handles_](const Json::Value& request) {
    const int call = ++*calls;
    if (call == 2) return;
    if (call == 4) return Answer(AnswerTo(request, ParseJson(R"({"pfile_handle": "x"})")));
    const int handle = handles->fetch_add(1);
    Answer(UploadAnswer(request, handle));
    Json::Value notification = UploadNotification(handle);
    if (handle == 104) notification["param"]["filersp"] = "not an object";
    if (handle == 105) {
      notification["param"]["filersp"].removeMember("url");
      notification["param"]["filersp"]["plain_access_code"] = 5;  // not a text
      notification["param"]["code"] = 9;
    }
    if (handle != 103) Answer(notification);
  });
  std::vector<FileListItem> results(7);
  OfflineFileOps::Instance().UploadFile(9, Entries(7), &results, false, false);
  EXPECT_EQ(Uploads(results),
            (std::vector<std::string>{Uploaded(0, 101), Uploaded(2, 102), "f6.png 105   0"}));
}

TEST_F(UploadTest, EveryRequestTimingOutGivesNothingAtOnce) {
  // The notification wait must not add its quiet time when nothing was accepted.
  hub_sync::SetTimeouts(milliseconds(80), milliseconds(80), std::chrono::hours(1));
  std::vector<FileListItem> results(2);
  OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(Received(kTargetOfflineFile).size(), 3u);
}

// A batch whose notification was lost ends; the plugin gives its handle to an
// upload of the next batch and only then delivers the lost notification: the
// new upload waits for its own and gets its own link. The batches' handles
// leave the notification registry when they end.
TEST_F(UploadTest, AReusedHandleNeverTakesAnotherUploadsLink) {
  hub_sync::SetTimeouts(kTestWait, kTestWait, milliseconds(80));
  SetResponder(kTargetOfflineFile,
               [](const Json::Value& request) { Answer(UploadAnswer(request, 500)); });
  std::vector<FileListItem> results;
  OfflineFileOps::Instance().UploadFile(9, Entries(1), &results, false, false);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(ImAdapterNotify::Instance().Size(), 0u);

  hub_sync::SetTimeouts(kTestWait, kTestWait, kTestWait);
  SetResponder(kTargetOfflineFile, [](const Json::Value& request) {
    Answer(UploadNotification(500, "-old"));
    Answer(UploadAnswer(request, 500));
    Answer(UploadNotification(500, "-new"));
  });
  OfflineFileOps::Instance().UploadFile(9, Entries(1), &results, false, false);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].um_url, "https://cloud/f/code500-new");
  EXPECT_EQ(ImAdapterNotify::Instance().Size(), 0u);

  // Within one batch, a handle given out again after its upload reported
  // names the next upload; the first keeps its own link.
  auto uploads = std::make_shared<std::atomic<int>>(0);
  SetResponder(kTargetOfflineFile, [uploads](const Json::Value& request) {
    Answer(UploadAnswer(request, 500));
    Answer(UploadNotification(500, uploads->fetch_add(1) == 0 ? "-first" : "-second"));
  });
  OfflineFileOps::Instance().UploadFile(9, Entries(2), &results, false, false);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].um_url, "https://cloud/f/code500-first");
  EXPECT_EQ(results[1].um_url, "https://cloud/f/code500-second");
}

// Notifications that are not a first report of an upload of the batch (other
// handles, repeats) keep coming while upload 102 stays silent: the quiet
// window is not extended and the batch ends without 102. Progress restarts the
// window, but the cap ends the wait all the same.
TEST_F(UploadTest, OnlyThisBatchsUploadsRestartTheQuietWindowAndTheCapEndsTheWait) {
  struct Row {
    const char* name;
    milliseconds quiet;
    milliseconds cap;
  };
  const Row rows[] = {{"foreign notifications", milliseconds(200), std::chrono::hours(1)},
                      {"cap", std::chrono::hours(1), milliseconds(200)}};
  for (const Row& row : rows) {
    hub_sync::SetTimeouts(kTestWait, kTestWait, row.quiet, row.cap);
    auto handles = std::make_shared<std::atomic<int>>(101);
    auto answered = std::make_shared<Latch>();
    SetResponder(kTargetOfflineFile, [handles, answered](const Json::Value& request) {
      const int handle = handles->fetch_add(1);
      Answer(UploadAnswer(request, handle));
      if (handle == 101) Answer(UploadNotification(101));
      if (handle == 102) answered->Open();
    });
    std::atomic<bool> ended{false};
    std::atomic<bool> noiseGaveUp{false};
    std::thread noise([&] {
      // Starts behind the last answer, so that the flood cannot push it out.
      answered->WaitOpen();
      // Repeats of 101 and uploads of no batch, until the batch ends (10 s at most).
      const auto giveUp = std::chrono::steady_clock::now() + kTestWait;
      for (int i = 0; !ended.load(); ++i) {
        Answer(UploadNotification(i % 2 == 0 ? 101 : 900 + i % 7));
        if (std::chrono::steady_clock::now() > giveUp) {
          noiseGaveUp = true;
          break;
        }
        std::this_thread::yield();
      }
    });
    std::vector<FileListItem> results;
    OfflineFileOps::Instance().UploadFile(9, Entries(2), &results, false, false);
    ended = true;
    noise.join();
    DrainHub();
    EXPECT_FALSE(noiseGaveUp.load()) << row.name;
    EXPECT_EQ(Uploads(results), std::vector<std::string>{Uploaded(0, 101)}) << row.name;
  }
}

TEST_F(UploadTest, NotificationsRaceTheirAnswersFromPluginThreads) {
  // Each upload is answered and reported from a plugin thread of its own,
  // while the requesting thread may still be waking up or sending the next one.
  SetResponder(kTargetOfflineFile, [handles = handles_](const Json::Value& request) {
    const int handle = handles->fetch_add(1);
    Spawn([request, handle] {
      Answer(UploadAnswer(request, handle));
      Answer(UploadNotification(handle));
    });
  });
  for (int batch = 0; batch < 30; ++batch) {
    std::vector<FileListItem> results;
    OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false);
    ASSERT_EQ(results.size(), 3u) << batch;
    for (const FileListItem& result : results) {
      ASSERT_EQ(result.um_url, "https://cloud/f/code" + std::to_string(result.file_handle));
    }
  }
}

}  // namespace
}  // namespace bridge_test
