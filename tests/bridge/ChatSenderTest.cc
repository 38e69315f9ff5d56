// Chat sending through the IM service: the request's members and the ack.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "adapter/src/ChatSender.h"
#include "adapter/src/JsonText.h"
#include "adapter/src/PluginApi.h"
#include "adapter/src/PluginRequester.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

class ChatSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePlugins(); }
  void TearDown() override { RemoveFakePlugins(); }
};

// A chat item with every field set to a value of its own.
ChatSendInfo FullItem() {
  ChatSendInfo item;
  item.msgId = "m-1";
  item.userAccount = "alice";
  item.chatType = 0;
  item.receiverAccount = "bob";
  item.groupId = "g";
  item.chatContentType = 2;
  item.content = "<imbody/>";
  item.appId = "app";
  item.solidContent = "solid";
  item.msgExt = "ext";
  item.serverSendTime = "1";
  item.isAutoReply = 0;
  item.isAt = 1;
  item.chatAtMsgId = "at-m";
  item.chatAtSenderAccount = "at-s";
  item.chatAtType = 3;
  item.chatAtTargetAccounts = "at-t";
  item.chatAtExt = "at-e";
  item.chatAtTargetRobots = "at-r";
  item.isAppMsg = 1;
  item.appServiceId = "as-id";
  item.appServiceName = "as-name";
  item.appServiceIcon = "as-icon";
  item.appServiceTag = 4;
  item.clientSendTime = "2";
  item.senderName = "Alice";
  item.senderNativeName = "Alicia";
  item.groupName = "Team";
  item.groupType = 5;
  item.zvPushExt = "zv";
  item.backPushExt = "back";
  item.isPrivateChat = 0;
  item.privateAccounts = "p";
  item.isMeetingMsg = 0;
  item.receiptState = 6;
  item.receiptCount = 7;
  item.isOnlyPc = 1;
  item.requestClientSendTime = "3";
  return item;
}

TEST(ChatRequestTest, EveryFieldGoesToItsMember) {
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
}

TEST(ChatRequestTest, UnsetFieldsAreLeftOut) {
  ChatSendInfo item;  // nothing set
  Json::Value request = ChatSender::BuildChatRequest(135682, "GroupChat", item);
  EXPECT_EQ(request["param"].getMemberNames(), std::vector<std::string>{"isOnlyPc"});
  EXPECT_EQ(request["param"]["isOnlyPc"], Json::Value(0));

  item.chatAtType = 0;  // one member of a sub-object makes the sub-object
  item.groupType = -1;
  request = ChatSender::BuildChatRequest(135682, "GroupChat", item);
  const Json::Value& info = request["param"]["chatInfo"];
  EXPECT_EQ(info.getMemberNames(), std::vector<std::string>{"chatAtInfo"});
  EXPECT_EQ(info["chatAtInfo"].getMemberNames(), std::vector<std::string>{"chatAtType"});
  EXPECT_FALSE(request["param"].isMember("clientMsgId"));
}

TEST_F(ChatSenderTest, AckIsTheServiceAnswerWithTheMessageId) {
  // {group chat, "clientMsgId" of the service's answer (empty: none), expected in the ack}
  const std::tuple<bool, std::string, std::string> cases[] = {
      {false, "", "m-1"}, {true, "", "m-1"}, {false, "from-service", "from-service"}};
  for (const auto& [group, ownId, expectedId] : cases) {
    SetResponder(kTargetIm, [own = ownId](const Json::Value& request) {
      Json::Value answer = AnswerTo(request, Json::Value(Json::objectValue));
      if (!own.empty()) answer["clientMsgId"] = own;
      Answer(answer);
    });
    Json::Value ack;
    (group ? ChatSender::ImGroupChat : ChatSender::ImUserChat)(12, FullItem(), &ack);
    const Json::Value request = Received(kTargetIm).back();
    EXPECT_EQ(request["cmd"], Json::Value(group ? 135682 : 135680));
    EXPECT_EQ(request["description"], Json::Value(group ? "GroupChat" : "UserChat"));
    EXPECT_EQ(request["adapter"], Json::Value(1));
    EXPECT_EQ(ack["result"], Json::Value(0));
    EXPECT_EQ(ack["sno"], request["sno"]);
    EXPECT_EQ(ack["clientMsgId"], Json::Value(expectedId));
  }
}

TEST_F(ChatSenderTest, SilentServiceGivesTheTimeoutAck) {
  ShortenTimeouts(std::chrono::milliseconds(80));
  struct Case {
    bool group;
    std::string msgId;
    const char* description;
    int rsp;
  };
  const Case cases[] = {{false, "m-1", "UserChatAck", 135680},
                        {true, "m-2", "GroupChatAck", 135682},
                        {false, "", "UserChatAck", 135680}};
  for (const Case& c : cases) {
    ChatSendInfo item;
    item.msgId = c.msgId;
    Json::Value ack;
    (c.group ? ChatSender::ImGroupChat : ChatSender::ImUserChat)(3, item, &ack);
    const Json::Value request = Received(kTargetIm).back();
    EXPECT_EQ(request["param"].isMember("clientMsgId"), !c.msgId.empty());
    Json::Value expected(Json::objectValue);
    expected["result"] = -100;
    expected["resultDes"] = "timeout";
    expected["sno"] = request["sno"];
    expected["description"] = c.description;
    expected["rsp"] = c.rsp;
    expected["clientMsgId"] = c.msgId;
    EXPECT_EQ(ack, expected);
  }
}

TEST_F(ChatSenderTest, ChatsFromThreadsThatEndEachGetTheirOwnAck) {
  // The service answers every request from a thread of its own, in reverse
  // order of arrival once all are in; every sending thread ends after its ack,
  // and so does each answering thread (the JSON text helpers ran on all of them).
  constexpr int kSenders = 4;
  SetResponder(kTargetIm, [](const Json::Value&) {});
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
  for (int i = 0; i < kSenders; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(acks[i]["result"], Json::Value(0));
    EXPECT_EQ(acks[i]["clientMsgId"], Json::Value("m-" + std::to_string(i)));
    bool sentWithThatSno = false;
    for (const Json::Value& request : requests) {
      sentWithThatSno |= request["sno"] == acks[i]["sno"] &&
                         request["param"]["clientMsgId"] == acks[i]["clientMsgId"];
    }
    EXPECT_TRUE(sentWithThatSno) << StyledJsonText(acks[i]);
  }
}

}  // namespace
}  // namespace bridge_test
