// The stand-in IM service driven through its entry points.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "im_adapter/im_plugin.h"
#include "plugins/hostlink/StandInHost.h"
#include "tests/standin/StandInRecorder.h"

namespace {

using standin_test::Received;

const int kUserChat = 135680;
const int kGroupChat = 135682;

Json::Value Chat(const std::string& msgId, bool withClientId = true) {
  Json::Value param = standin_test::Parse(
      R"({"chatInfo":{"userAccount":"alice","receiverAccount":"bob","chatContentType":0},)"
      R"("isOnlyPc":0})");
  if (withClientId) param["clientMsgId"] = msgId;
  param["chatInfo"]["msgId"] = msgId;
  param["chatInfo"]["content"] = "hello " + msgId;
  return param;
}

class ImServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = standin_test::FreshFolderForTest() + "/im_store.db";
    StandInSetOption("IM_STORE_DB", db_.c_str());
    IMServiceStartup();
  }
  void TearDown() override {
    IMServiceShutDown();
    for (const char* name : {"IM_STORE_DB", "IM_STANDIN_FAIL", "IM_STANDIN_ACK_DELAY_MS"}) {
      StandInSetOption(name, nullptr);
    }
  }

  // Rows of the outbox whose client message id is id.
  int64_t OutboxRows(const std::string& id) {
    return standin_test::Count(db_,
                               "SELECT count(*) FROM outbox WHERE client_msg_id = '" + id + "'");
  }

  standin_test::StandInRecorder recorder_{&ImSetAdapterCallback, &IMRecvMsgImport};
  std::string db_;
};

// Each row one request; a failure (the fail switch, a bad request) keeps nothing.
TEST_F(ImServiceTest, ChatsAreAcknowledgedAndKeptInTheOutboxBadOnesRefused) {
  std::set<std::string> serverIds;
  const struct {
    const char* name;
    int cmd;
    Json::Value param;
    const char* fail;         // the IM_STANDIN_FAIL setting
    const char* description;  // of the acknowledgement, nullptr for a failure
  } cases[] = {
      {"user chat", kUserChat, Chat("m1"), nullptr, "UserChatAck"},
      {"group chat", kGroupChat, Chat("m2"), nullptr, "GroupChatAck"},
      {"id from chatInfo.msgId", kUserChat, Chat("m3", false), nullptr, "UserChatAck"},
      {"fail switch", kUserChat, Chat("m4"), "error", nullptr},
      {"unknown cmd", 7, Chat("m5"), nullptr, nullptr},
      {"no chatInfo", kUserChat, standin_test::Parse(R"({"clientMsgId":"x"})"), nullptr, nullptr},
      {"param not an object", kGroupChat, Json::Value("text"), nullptr, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StandInSetOption("IM_STANDIN_FAIL", c.fail);
    const Json::Value ack = recorder_.Ask(c.cmd, c.param);
    const std::string id = c.param.isObject() ? c.param["chatInfo"]["msgId"].asString() : "";
    EXPECT_EQ(OutboxRows(id), c.description ? 1 : 0);
    if (c.description == nullptr) {
      EXPECT_EQ(ack["result"].asInt(), 1);
      EXPECT_FALSE(ack["reason"].asString().empty());
      if (c.fail != nullptr) {
        EXPECT_EQ(ack["clientMsgId"].asString(), id);
      }
      continue;
    }
    EXPECT_EQ(ack["rsp"].asInt(), c.cmd);
    EXPECT_EQ(ack["result"].asInt(), 0);
    EXPECT_EQ(ack["description"].asString(), c.description);
    EXPECT_EQ(ack["clientMsgId"].asString(), id);
    EXPECT_FALSE(ack["serverMsgId"].asString().empty());
    EXPECT_TRUE(serverIds.insert(ack["serverMsgId"].asString()).second) << "a server id of its own";
    EXPECT_GT(std::stoll(ack["serverSendTime"].asString()), 1700000000000LL);
  }
}

// "silent" answers nothing; a delay holds the answer back until shut-down.
TEST_F(ImServiceTest, FailSwitchSilentAndAckDelay) {
  StandInSetOption("IM_STANDIN_FAIL", "silent");
  recorder_.Send(standin_test::Request(kUserChat, Chat("quiet"), 33101));
  StandInSetOption("IM_STANDIN_FAIL", nullptr);
  // The worker answers in order: once the next chat is answered, the silent one
  // had its turn.
  ASSERT_EQ(recorder_.Ask(kUserChat, Chat("loud"))["result"].asInt(), 0);
  EXPECT_EQ(recorder_.Snapshot().size(), 1u);
  EXPECT_EQ(OutboxRows("quiet"), 0);

  StandInSetOption("IM_STANDIN_ACK_DELAY_MS", "600000");
  recorder_.Send(standin_test::Request(kUserChat, Chat("late"), 33103));
  EXPECT_EQ(recorder_.Snapshot().size(), 1u);
  IMServiceShutDown();
  const std::vector<Received> got = recorder_.Snapshot();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].json["clientMsgId"].asString(), "late");
}

}  // namespace
