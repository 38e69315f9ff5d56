#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/limit/ImAdapterGroupChatLimit.h"
#include "adapter/src/boundary/JsonText.h"

namespace {

// Each row on a fresh limiter: the first message of a group is allowed whatever
// its stamp; a flow count out of 0..10, an empty group or stamp is refused.
TEST(GroupChatLimit, FirstMessageIsAllowedUnlessItsFieldsAreOutOfRange) {
  const struct {
    const char* group;
    const char* stamp;
    int32_t flow;
    bool allowed;
  } cases[] = {{"g", "1000", 0, true},   {"g", "not a number", 10, true}, {"g", "1000", -1, false},
               {"g", "1000", 11, false}, {"g", "1000", 1000, false},      {"", "1000", 3, false},
               {"g", "", 3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.group) + "|" + c.stamp + "|" + std::to_string(c.flow));
    ImAdapterGroupChatLimit limit;
    EXPECT_EQ(limit.CheckIsExceedLimit(c.group, c.stamp, c.flow), c.allowed);
    EXPECT_EQ(limit.QueuedCount(c.group), c.allowed ? 1u : 0u);
  }
}

TEST(GroupChatLimit, LimitIsFiveUpToFlowCountFiveAndTenUpToTen) {
  struct Case {
    int32_t flowLimitCount;
    int allowed;
  };
  const Case cases[] = {{0, 5}, {3, 5}, {5, 5}, {6, 10}, {7, 10}, {10, 10}};
  for (const Case& c : cases) {
    ImAdapterGroupChatLimit limit;
    int allowed = 0;
    for (int i = 0; i < 12; ++i) allowed += limit.CheckIsExceedLimit("g", "5000", c.flowLimitCount);
    EXPECT_EQ(allowed, c.allowed) << "flowLimitCount " << c.flowLimitCount;
    EXPECT_EQ(limit.QueuedCount("g"), static_cast<size_t>(c.allowed));
  }
}

TEST(GroupChatLimit, WindowKeepsAStampExactly60000msOldAndDropsOlder) {
  ImAdapterGroupChatLimit limit;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(limit.CheckIsExceedLimit("g", "100000", 3));
  EXPECT_FALSE(limit.CheckIsExceedLimit("g", "160000", 3));  // exactly 60000 ms: still counted
  EXPECT_TRUE(limit.CheckIsExceedLimit("g", "160001", 3));   // 60001 ms: all five dropped
  EXPECT_EQ(limit.QueuedCount("g"), 1u);
}

TEST(GroupChatLimit, UnparsableTimestampIsRefusedOnceTheGroupHasAQueue) {
  ImAdapterGroupChatLimit limit;
  ASSERT_TRUE(limit.CheckIsExceedLimit("g", "1000", 3));
  for (const char* stamp : {"abc", "99999999999999999999999", " ", "-"}) {
    EXPECT_FALSE(limit.CheckIsExceedLimit("g", stamp, 3)) << stamp;
  }
  EXPECT_EQ(limit.QueuedCount("g"), 1u);
  EXPECT_TRUE(limit.CheckIsExceedLimit("g", "  2000xyz", 3));  // blanks and a tail are accepted
}

TEST(GroupChatLimit, ExtremeTimestampsDoNotOverflow) {
  ImAdapterGroupChatLimit limit;
  ASSERT_TRUE(limit.CheckIsExceedLimit("g", "-9223372036854775808", 3));
  EXPECT_TRUE(limit.CheckIsExceedLimit("g", "9223372036854775807", 3));
  EXPECT_EQ(limit.QueuedCount("g"), 1u);
}

Json::Value RunCommand3(const std::string& param) {
  ImAdapterCmd::Instance().ProcessRecvMsg(("{\"cmd\":3,\"param\":" + param + "}").c_str());
  char* text = ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::seconds(2));
  Json::Value reply;
  if (text != nullptr) {
    ParseJsonText(text, reply);
    std::free(text);
  }
  return reply;
}

TEST(CheckIsExceedSendingLimit, ParamThatIsNoObjectGetsAReason) {
  for (const char* param : {"[]", "1", "\"x\"", "null"}) {
    Json::Value reply = RunCommand3(param);
    EXPECT_EQ(reply["result"].asInt(), -1) << param;
    EXPECT_EQ(reply["param"]["reason"].asString(), "param is not correct!");
  }
}

TEST(CheckIsExceedSendingLimit, EntriesInheritThePreviousGroupAndLimit) {
  Json::Value reply = RunCommand3(
      "{\"currentTimestamp\":\"1000\",\"msgList\":[{\"groupId\":\"cmd3-a\",\"flowLimitCount\":1},"
      "{},{\"flowLimitCount\":2.0},{\"groupId\":5},7]}");
  ASSERT_EQ(reply["result"].asInt(), 0);
  const Json::Value& list = reply["param"]["msgList"];
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(reply["param"]["currentTimestamp"].asString(), "1000");
  EXPECT_EQ(list[0]["groupId"].asString(), "cmd3-a");
  EXPECT_EQ(list[0]["flowLimitCount"].asInt(), 1);
  EXPECT_EQ(list[1].getMemberNames(), std::vector<std::string>{"isSendMsg"});
  EXPECT_EQ(list[2]["flowLimitCount"].asInt(), 2);
  EXPECT_FALSE(list[3].isMember("groupId"));
  for (Json::ArrayIndex i = 0; i < 5; ++i) EXPECT_TRUE(list[i]["isSendMsg"].asBool()) << i;
  // The group "cmd3-a" now holds five stamps: a sixth is refused.
  reply = RunCommand3(
      "{\"currentTimestamp\":\"1001\",\"msgList\":[{\"groupId\":\"cmd3-a\",\"flowLimitCount\":1}]"
      "}");
  EXPECT_FALSE(reply["param"]["msgList"][0]["isSendMsg"].asBool());
}

TEST(CheckIsExceedSendingLimit, OddTimestampsAndListsAreAnsweredInTheirOwnWay) {
  // A numeric stamp refuses every entry and is not echoed.
  Json::Value reply = RunCommand3(
      "{\"currentTimestamp\":1000,\"msgList\":[{\"groupId\":\"cmd3-b\",\"flowLimitCount\":1}]}");
  EXPECT_FALSE(reply["param"].isMember("currentTimestamp"));
  EXPECT_FALSE(reply["param"]["msgList"][0]["isSendMsg"].asBool());
  // An empty list is written as null, a list that is no array is left out.
  reply = RunCommand3("{\"currentTimestamp\":\"1\",\"msgList\":[]}");
  ASSERT_TRUE(reply["param"].isMember("msgList"));
  EXPECT_TRUE(reply["param"]["msgList"].isNull());
  reply = RunCommand3("{\"currentTimestamp\":\"1\",\"msgList\":{}}");
  EXPECT_FALSE(reply["param"].isMember("msgList"));
  EXPECT_EQ(reply["result"].asInt(), 0);
}

}  // namespace
