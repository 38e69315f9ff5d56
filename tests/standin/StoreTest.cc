// The stand-in message store driven through its entry points.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "im_adapter/im_plugin.h"
#include "plugins/hostlink/StandInHost.h"
#include "tests/standin/StandInRecorder.h"
#include "util/Utils.h"

namespace {

using standin_test::Parse;
using standin_test::Received;

Json::Value Record(const std::string& serverId, const std::string& clientId) {
  return Parse(R"({"servermessageid":")" + serverId + R"(","clientmessageid":")" + clientId +
               R"(","convid":"bob","content":"<r><n>x</n><g>0</g><c>hello</c></r>",)"
               R"("chattype":0,"mediatype":0})");
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = standin_test::FreshFolderForTest();
    StandInSetOption("IM_STORE_DB", (dir_ + "/im_store.db").c_str());
  }
  void TearDown() override { StandInSetOption("IM_STORE_DB", nullptr); }

  std::string AddRecord(const Json::Value& record) {
    Json::Value param;
    param["_historyrecord"] = record;
    const Json::Value answer = recorder_.Ask(54, param);
    EXPECT_EQ(answer["result"].asInt(), 0) << answer.toStyledString();
    EXPECT_TRUE(answer["param"]["recordId"].isString());
    return answer["param"]["recordId"].asString();
  }

  Json::Value QueryIds(const std::string& ids) {
    return recorder_.Ask(
        57, Parse(R"({"_multimatchinfo":{"datalist":[{"keytype":3,"match_value":")" + ids +
                  R"("}],"datalen":1,"operationtype":3}})"));
  }

  standin_test::StandInRecorder recorder_{&SqliteSetAdapterCallback, &SqliteRecvMsgImport};
  std::string dir_;
};

TEST_F(StoreTest, AddedRecordsComeBackWithTheirKindsByIdInTheOrderAskedOrByReceivedFileName) {
  Json::Value withFile = Record("s1", "c1");
  withFile["filelist"] =
      util::Base64Encode(R"([{"file_name":"report.pdf","file_real_save_name":"report(1).pdf"}])");
  Json::Value record = Record("s2", "c2");
  record["mediatype"] = "7";            // a text media type is read as a number
  record["filelist"] = "bm90IGpzb24=";  // stored as received, even when it is not a file list
  record["quote"] = "{\"status\":1}";
  record["realMsgType"] = 101900;
  record["UTCDate"] = "2026-12-05";
  record["chattype"] = "1";  // only mediatype accepts a text: the default stays
  record["convautoid"] = -7;
  // The answer text is written by the store itself: escapes and UTF-8 must survive.
  record["content"] = "quote \" back \\ line\nTab\t ctl\x01 \xE4\xB8\xAD\xE6\x96\x87";
  const std::string first = AddRecord(withFile);
  const std::string second = AddRecord(record);
  EXPECT_NE(first, second);

  const Json::Value answer = QueryIds("c2,missing,s1,c1");
  ASSERT_EQ(answer["result"].asInt(), 0);
  const Json::Value& list = answer["param"]["_historyrecordlist"];
  ASSERT_EQ(list.size(), 2u) << "each record once, unknown ids left out";
  EXPECT_EQ(list[0]["recordid"].asString(), second);
  EXPECT_EQ(list[1]["recordid"].asString(), first);
  EXPECT_EQ(list[1]["servermessageid"].asString(), "s1");
  const Json::Value expected = Parse(
      R"({"mediatype":7,"filelist":"bm90IGpzb24=","quote":"{\"status\":1}","realMsgType":101900,)"
      R"("UTCDate":"2026-12-05","chattype":-1,"sendStatus":1,"status":-1,"peername":"",)"
      R"("convautoid":-7})");
  EXPECT_EQ(list[0]["content"], record["content"]);
  for (const std::string& key : expected.getMemberNames()) {
    EXPECT_EQ(list[0][key], expected[key]) << key;
  }

  for (const std::string name : {"report.pdf", "report(1).pdf"}) {
    const Json::Value byName =
        recorder_.Ask(57, Parse(R"({"_multimatchinfo":{"datalist":[{"keytype":9,"match_value":[")" +
                                name + R"(","other.txt"]}],"operationtype":67}})"));
    ASSERT_EQ(byName["result"].asInt(), 0) << name;
    ASSERT_EQ(byName["param"]["_historyrecordlist"].size(), 1u) << name;
    EXPECT_EQ(byName["param"]["_historyrecordlist"][0]["servermessageid"].asString(), "s1");
  }
}

TEST_F(StoreTest, GroupsAndContactsSeededByTheHostAreAnsweredToTheAdapter) {
  recorder_.Ask(30, Parse(R"({"_groupinfo":{"groupid":"team-42","name":"Team 42","grouptype":2}})"),
                false);
  recorder_.Ask(
      153, Parse(R"({"UserInfo":{"accountid":"alice","name":"Alice","foreignName":"Alice A."}})"),
      false);
  const auto groups = [this](const std::string& id) {
    const Json::Value answer =
        recorder_.Ask(31, Parse(R"({"_multimatchinfo":{"datalist":[{"keytype":1,)"
                                R"("match_value":")" +
                                id + "\"}]}}"));
    EXPECT_EQ(answer["result"].asInt(), 0) << id;
    return answer["param"]["_groupinfolist"];
  };
  const Json::Value team = groups("team-42");
  ASSERT_EQ(team.size(), 1u);
  EXPECT_EQ(team[0]["name"].asString(), "Team 42");
  EXPECT_EQ(team[0]["grouptype"].asInt(), 2);
  EXPECT_EQ(groups("nobody").size(), 0u);

  const Json::Value alice = recorder_.Ask(155, Parse(R"({"_matchinfo":{"accountid":"alice"}})"));
  EXPECT_EQ(alice["param"]["UserInfo"]["foreignName"].asString(), "Alice A.");
  const Json::Value missing = recorder_.Ask(155, Parse(R"({"_matchinfo":{"accountid":"nobody"}})"));
  EXPECT_EQ(missing["result"].asInt(), 1);
  EXPECT_FALSE(missing["param"].isMember("UserInfo"));
}

// Answered to the side that asked; a text that is not a request (cmd 0 here)
// is answered to the host.
TEST_F(StoreTest, BadRequestsGetAFailureWithAReason) {
  const struct {
    const char* name;
    int cmd;
    const char* param;
  } cases[] = {
      {"no param", 54, "null"},
      {"record not an object", 54, R"({"_historyrecord": "x"})"},
      {"unknown cmd", 99, "{}"},
      {"no match info", 57, "{}"},
      {"unsupported keytype", 57,
       R"({"_multimatchinfo":{"datalist":[{"keytype":5,"match_value":"a"}]}})"},
      {"file names not an array", 57,
       R"({"_multimatchinfo":{"datalist":[{"keytype":9,"match_value":"a"}],"operationtype":67}})"},
      {"group without id", 30, R"({"_groupinfo":{}})"},
      {"contact query without account", 155, R"({"_matchinfo":{}})"},
      {"not json", 0, "not json"},
      {"an array", 0, "[1,2]"},
      {"empty", 0, ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    recorder_.Send(c.cmd == 0 ? c.param : standin_test::Request(c.cmd, Parse(c.param), 1 + i));
    ASSERT_TRUE(recorder_.WaitForCount(i + 1)) << c.name;
    const Received got = recorder_.Snapshot()[i];
    EXPECT_EQ(got.toAdapter, c.cmd != 0) << c.name;
    EXPECT_NE(got.json["result"].asInt(), 0) << c.name;
    EXPECT_FALSE(got.json["reason"].asString().empty()) << c.name;
    if (c.cmd != 0) {
      EXPECT_NE(got.json["rsp"].asInt(), 0) << c.name;
    }
  }
}

TEST_F(StoreTest, TheDatabaseFollowsTheSettingAndAnUnopenableOneIsAFailure) {
  AddRecord(Record("s1", "c1"));
  StandInSetOption("IM_STORE_DB", (dir_ + "/other.db").c_str());
  EXPECT_EQ(QueryIds("s1")["param"]["_historyrecordlist"].size(), 0u);
  StandInSetOption("IM_STORE_DB", (dir_ + "/no/such/folder/x.db").c_str());
  const Json::Value answer = QueryIds("s1");
  EXPECT_EQ(answer["result"].asInt(), 1);
  EXPECT_NE(answer["reason"].asString().find("cannot open"), std::string::npos);
}

}  // namespace
