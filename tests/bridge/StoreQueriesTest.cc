// The store requests: their bodies and the decoding of the store's answers.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "adapter/src/PluginApi.h"
#include "adapter/src/PluginRequester.h"
#include "adapter/src/StoreQueries.h"
#include "tests/bridge/FakePlugins.h"
#include "util/Utils.h"

namespace bridge_test {
namespace {

class StoreQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePlugins(); }
  void TearDown() override { RemoveFakePlugins(); }

  // The store answers every request with the param text; nullptr: it stays silent.
  static void StoreAnswers(const char* param) {
    if (param == nullptr) {
      SetResponder(kTargetStore, nullptr);
      ShortenTimeouts(std::chrono::milliseconds(60));
      return;
    }
    const Json::Value value = ParseJson(param);
    SetResponder(kTargetStore,
                 [value](const Json::Value& request) { Answer(AnswerTo(request, value)); });
  }
  static Json::Value LastRequest() { return Received(kTargetStore).back(); }
};

TEST_F(StoreQueriesTest, QueryByMsgIdSendsTheIdsAndReplacesTheRecords) {
  const std::string files = util::Base64Encode(R"([{"file_name": "a.png", "um_url": "u/f/x"}])");
  const std::string answer = R"({"_historyrecordlist": [
      {"clientmessageid": "m1", "filelist": ")" +
                             files + R"("},
      {"clientmessageid": "m2", "filelist": "not base64 json"}]})";
  StoreAnswers(answer.c_str());
  std::vector<RecordInfo> records(5);
  StoreQueries::QueryHistoryRecordByMsgId(7, {"m1", "m2", "m3"}, &records);

  const Json::Value request = LastRequest();
  EXPECT_EQ(request["cmd"], Json::Value(57));
  EXPECT_EQ(request["description"], Json::Value("zeb_sqlite_query_historyrecord"));
  EXPECT_EQ(request["param"], ParseJson(R"({"_multimatchinfo": {"datalist":
      [{"keytype": 3, "match_value": "m1,m2,m3"}], "datalen": 1, "operationtype": 3}})"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].clientmessageid, "m1");
  ASSERT_EQ(records[0].fileList.size(), 1u);
  EXPECT_EQ(records[0].fileList[0].file_name, "a.png");
  EXPECT_EQ(records[0].fileList[0].um_url, "u/f/x");
  EXPECT_EQ(records[1].clientmessageid, "m2");
  EXPECT_TRUE(records[1].fileList.empty());
  EXPECT_EQ(StoreQueries::JoinMsgIds({}), "");
  EXPECT_EQ(StoreQueries::JoinMsgIds({"", "b"}), ",b");
}

// Each case: the store's "param" (nullptr: silent), then what the caller gets.
TEST_F(StoreQueriesTest, QueryByMsgIdOutcomes) {
  // Not an array is "param invalid"; a time-out leaves the output untouched.
  const std::pair<const char*, size_t> cases[] = {{R"({"_historyrecordlist": []})", 0},
                                                  {R"({"_historyrecordlist": {}})", 0},
                                                  {R"({})", 0},
                                                  {nullptr, 3}};
  for (const auto& [param, expected] : cases) {
    StoreAnswers(param);
    std::vector<RecordInfo> records(3);
    StoreQueries::QueryHistoryRecordByMsgId(1, {"x"}, &records);
    EXPECT_EQ(records.size(), expected) << (param ? param : "silent");
  }
}

TEST_F(StoreQueriesTest, QueryByReceiveFileAppendsAndUsesItsOwnRequest) {
  StoreAnswers(R"({"_historyrecordlist": [{"recordid": "r9", "mediatype": 2}]})");
  std::vector<RecordInfo> records(1);
  StoreQueries::QueryHistoryRecordByReceiveFileMsg({"a.txt", "b.txt"}, &records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].recordid, "r9");
  EXPECT_EQ(records[1].mediatype, 2);
  EXPECT_EQ(LastRequest()["param"], ParseJson(R"({"_multimatchinfo": {"datalist":
      [{"keytype": 9, "match_value": ["a.txt", "b.txt"]}], "datalen": 1,
      "operationtype": 67}})"));
  StoreAnswers(nullptr);
  StoreQueries::QueryHistoryRecordByReceiveFileMsg({"c"}, &records);
  EXPECT_EQ(records.size(), 2u);
}

TEST_F(StoreQueriesTest, AddHistoryRecordReadsOnlyATextRecordId) {
  const std::pair<const char*, std::string> cases[] = {{R"({"recordId": "r-77"})", "r-77"},
                                                       {R"({"recordId": 12})", "before"},
                                                       {R"([])", "before"},
                                                       {nullptr, "before"}};
  RecordInfo record;
  record.clientmessageid = "cm-1";
  for (const auto& [param, expected] : cases) {
    StoreAnswers(param);
    std::string recordId = "before";
    StoreQueries::AddHistoryRecord(4, record, &recordId);
    EXPECT_EQ(recordId, expected) << (param ? param : "silent");
    const Json::Value request = LastRequest();
    EXPECT_EQ(request["cmd"], Json::Value(54));
    EXPECT_EQ(request["description"], Json::Value("zeb_sqlite_add_historyrecord"));
    EXPECT_EQ(request["param"]["_historyrecord"]["clientmessageid"], Json::Value("cm-1"));
  }
  // A failing "result" does not stop the members from being read.
  SetResponder(kTargetStore, [](const Json::Value& request) {
    Answer(AnswerTo(request, ParseJson(R"({"recordId": "r-1"})"), -1));
  });
  std::string recordId;
  StoreQueries::AddHistoryRecord(1, record, &recordId);
  EXPECT_EQ(recordId, "r-1");
}

TEST_F(StoreQueriesTest, GroupQueryTakesTheFirstGroup) {
  const std::pair<const char*, std::string> cases[] = {
      {R"({"_groupinfolist": [{"name": "First"}, {"name": "Second"}]})", "First"},
      {R"({"_groupinfolist": []})", "unchanged"},
      {R"({"_groupinfolist": "x"})", "unchanged"},
      {nullptr, "unchanged"}};
  for (const auto& [param, expected] : cases) {
    StoreAnswers(param);
    GroupInfo group;
    group.name = "unchanged";
    StoreQueries::QueryGroupInfoByGroupId(5, "g1", &group);
    EXPECT_EQ(group.name, expected) << (param ? param : "silent");
  }
  const Json::Value request = LastRequest();
  EXPECT_EQ(request["cmd"], Json::Value(31));
  EXPECT_EQ(request["description"], Json::Value("zeb_sqlite_query_groupinfo"));
  EXPECT_EQ(request["param"], ParseJson(R"({"_multimatchinfo": {"datalist":
      [{"keytype": 1, "match_value": "g1"}], "datalen": 1, "operationtype": 1}})"));
}

TEST_F(StoreQueriesTest, UserQueryTakesTheContact) {
  // The member name is case-sensitive; absent names come back empty.
  const std::pair<const char*, std::string> cases[] = {
      {R"({"UserInfo": {"name": "Zhang", "foreignName": "John"}})", "Zhang/John"},
      {R"({"UserInfo": {"name": "Li"}})", "Li/"},
      {R"({"userinfo": {"name": "Li"}})", "old/old-f"},
      {nullptr, "old/old-f"}};
  for (const auto& [param, expected] : cases) {
    StoreAnswers(param);
    UserInfo user;
    user.name = "old";
    user.foreignName = "old-f";
    StoreQueries::QueryUserInfoByAccountId(6, "acc-1", &user);
    EXPECT_EQ(user.name + "/" + user.foreignName, expected) << (param ? param : "silent");
  }
  const Json::Value request = LastRequest();
  EXPECT_EQ(request["cmd"], Json::Value(155));
  EXPECT_EQ(request["description"],
            Json::Value("zeb_sqlite_query_userinfo_by_account_from_contact"));
  EXPECT_EQ(request["param"], ParseJson(R"({"_matchinfo": {"accountid": "acc-1"}})"));
}

}  // namespace
}  // namespace bridge_test
