// The stand-in IM service driven through its entry points.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "im_adapter/im_plugin.h"
#include "plugins/hostlink/StandInHost.h"
#include "tests/standin/StandInRecorder.h"

namespace {

using standin_test::AnswerTo;
using standin_test::Received;
using standin_test::Request;

const int kUserChat = 135680;
const int kGroupChat = 135682;

void Send(const std::string& text) {
  IMRecvMsgImport(text.data(), static_cast<uint32_t>(text.size()));
}

Json::Value Chat(const std::string& msgId, bool withClientId = true) {
  Json::Value param;
  if (withClientId) param["clientMsgId"] = msgId;
  param["chatInfo"]["msgId"] = msgId;
  param["chatInfo"]["userAccount"] = "alice";
  param["chatInfo"]["receiverAccount"] = "bob";
  param["chatInfo"]["chatContentType"] = 0;
  param["chatInfo"]["content"] = "hello " + msgId;
  param["isOnlyPc"] = 0;
  return param;
}

class ImServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        standin_test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    db_ = dir_ + "/im_store.db";
    StandInSetOption("IM_STORE_DB", db_.c_str());
    IMServiceStartup();
  }
  void TearDown() override {
    IMServiceShutDown();
    for (const char* name : {"IM_STORE_DB", "IM_STANDIN_FAIL", "IM_STANDIN_ACK_DELAY_MS"}) {
      StandInSetOption(name, nullptr);
    }
  }

  Json::Value Ask(int cmd, const Json::Value& param, int sno) {
    Send(Request(cmd, cmd == kGroupChat ? "GroupChat" : "UserChat", param, sno));
    Received got;
    if (!recorder_.WaitFor(AnswerTo(sno), &got)) return Json::Value();
    EXPECT_TRUE(got.toAdapter);
    return got.json;
  }

  // Rows of the outbox whose client message id is id.
  int OutboxRows(const std::string& id) {
    if (!std::filesystem::exists(db_)) return 0;  // nothing was ever written
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(db_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return -1;
    }
    sqlite3_stmt* statement = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM outbox WHERE client_msg_id = ?1", -1,
                           &statement, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(statement, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(statement) == SQLITE_ROW) count = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
  }

  standin_test::StandInRecorder recorder_{&ImSetAdapterCallback};
  std::string dir_;
  std::string db_;
};

TEST_F(ImServiceTest, ChatsAreAcknowledgedAndKeptInTheOutbox) {
  const struct {
    int cmd;
    bool withClientId;
    const char* description;
  } cases[] = {{kUserChat, true, "UserChatAck"},
               {kGroupChat, true, "GroupChatAck"},
               {kUserChat, false, "UserChatAck"}};
  int sno = 33000;
  for (const auto& c : cases) {
    const std::string id = "m" + std::to_string(++sno);
    const Json::Value ack = Ask(c.cmd, Chat(id, c.withClientId), sno);
    EXPECT_EQ(ack["rsp"].asInt(), c.cmd);
    EXPECT_EQ(ack["result"].asInt(), 0);
    EXPECT_EQ(ack["description"].asString(), c.description);
    EXPECT_EQ(ack["clientMsgId"].asString(), id) << "from the request or from chatInfo.msgId";
    EXPECT_FALSE(ack["serverMsgId"].asString().empty());
    EXPECT_GT(std::stoll(ack["serverSendTime"].asString()), 1700000000000LL);
    EXPECT_EQ(OutboxRows(id), 1);
  }
}

TEST_F(ImServiceTest, FailSwitchErrorRefusesAndKeepsNothing) {
  StandInSetOption("IM_STANDIN_FAIL", "error");
  const Json::Value ack = Ask(kUserChat, Chat("m1"), 33001);
  EXPECT_EQ(ack["result"].asInt(), 1);
  EXPECT_FALSE(ack["reason"].asString().empty());
  EXPECT_EQ(ack["clientMsgId"].asString(), "m1");
  EXPECT_EQ(OutboxRows("m1"), 0);
}

TEST_F(ImServiceTest, FailSwitchSilentAnswersNothing) {
  StandInSetOption("IM_STANDIN_FAIL", "silent");
  Send(Request(kUserChat, "UserChat", Chat("quiet"), 33001));
  StandInSetOption("IM_STANDIN_FAIL", nullptr);
  // The worker answers in order: once the next chat is answered, the silent one
  // had its turn.
  ASSERT_EQ(Ask(kUserChat, Chat("loud"), 33002)["result"].asInt(), 0);
  EXPECT_EQ(recorder_.Snapshot().size(), 1u);
  EXPECT_EQ(OutboxRows("quiet"), 0);
}

TEST_F(ImServiceTest, AckDelayHoldsTheAnswerBack) {
  StandInSetOption("IM_STANDIN_ACK_DELAY_MS", "300");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Ask(kUserChat, Chat("slow"), 33003)["result"].asInt(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(ImServiceTest, ShutDownAnswersWhatIsStillDelayed) {
  StandInSetOption("IM_STANDIN_ACK_DELAY_MS", "600000");
  Send(Request(kUserChat, "UserChat", Chat("late"), 33004));
  IMServiceShutDown();
  const std::vector<Received> got = recorder_.Snapshot();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].json["clientMsgId"].asString(), "late");
}

TEST_F(ImServiceTest, BadRequestsGetAFailureWithAReason) {
  Json::Value noChat;
  noChat["clientMsgId"] = "x";
  const struct {
    const char* name;
    int cmd;
    Json::Value param;
  } cases[] = {{"unknown cmd", 7, Chat("a")},
               {"no chatInfo", kUserChat, noChat},
               {"param not an object", kGroupChat, Json::Value("text")}};
  int sno = 34000;
  for (const auto& c : cases) {
    const Json::Value answer = Ask(c.cmd, c.param, ++sno);
    EXPECT_EQ(answer["result"].asInt(), 1) << c.name;
    EXPECT_FALSE(answer["reason"].asString().empty()) << c.name;
  }
}

TEST_F(ImServiceTest, ConcurrentSendersEachGetTheirAck) {
  const int kThreads = 4;
  const int kEach = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) {
        const int sno = 40000 + t * 1000 + i;
        Send(Request(kGroupChat, "GroupChat", Chat("g" + std::to_string(sno)), sno));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_TRUE(recorder_.WaitForCount(kThreads * kEach));
  std::set<std::string> serverIds;
  for (const Received& r : recorder_.Snapshot()) {
    EXPECT_EQ(r.json["result"].asInt(), 0);
    EXPECT_EQ(r.json["clientMsgId"].asString(), "g" + std::to_string(r.json["sno"].asInt()));
    serverIds.insert(r.json["serverMsgId"].asString());
  }
  EXPECT_EQ(serverIds.size(), static_cast<size_t>(kThreads * kEach));
}

}  // namespace
