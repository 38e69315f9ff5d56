// The stand-in message store driven through its entry points.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "im_adapter/im_plugin.h"
#include "plugins/common/StandInBase64.h"
#include "plugins/hostlink/StandInHost.h"
#include "plugins/standin/StandInStore.h"
#include "tests/standin/StandInRecorder.h"

namespace {

using standin_test::AnswerTo;
using standin_test::Received;
using standin_test::Request;

void Send(const std::string& text) {
  SqliteRecvMsgImport(text.data(), static_cast<uint32_t>(text.size()));
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        standin_test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    StandInSetOption("IM_STORE_DB", (dir_ + "/im_store.db").c_str());
  }
  void TearDown() override { StandInSetOption("IM_STORE_DB", nullptr); }

  // Sends the request and returns its answer (a null value on time-out).
  Json::Value Ask(int cmd, const Json::Value& param, bool fromAdapter = true) {
    const int sno = ++sno_;
    Send(Request(cmd, "test", param, sno, fromAdapter));
    Received got;
    if (!recorder_.WaitFor(AnswerTo(sno), &got)) return Json::Value();
    EXPECT_EQ(got.toAdapter, fromAdapter) << "answered to the wrong side";
    return got.json;
  }

  std::string AddRecord(const Json::Value& record) {
    Json::Value param;
    param["_historyrecord"] = record;
    const Json::Value answer = Ask(54, param);
    EXPECT_EQ(answer["result"].asInt(), 0) << answer.toStyledString();
    EXPECT_TRUE(answer["param"]["recordId"].isString());
    return answer["param"]["recordId"].asString();
  }

  Json::Value QueryIds(const std::string& ids) {
    Json::Value param;
    param["_multimatchinfo"]["datalist"][0]["keytype"] = 3;
    param["_multimatchinfo"]["datalist"][0]["match_value"] = ids;
    param["_multimatchinfo"]["datalen"] = 1;
    param["_multimatchinfo"]["operationtype"] = 3;
    return Ask(57, param);
  }

  standin_test::StandInRecorder recorder_{&SqliteSetAdapterCallback};
  std::string dir_;
  int sno_ = 40000;
};

Json::Value Record(const std::string& serverId, const std::string& clientId) {
  Json::Value record;
  record["servermessageid"] = serverId;
  record["clientmessageid"] = clientId;
  record["convid"] = "bob";
  record["content"] = "<r><n>x</n><g>0</g><c>hello</c></r>";
  record["chattype"] = 0;
  record["mediatype"] = 0;
  return record;
}

TEST_F(StoreTest, AddedRecordsComeBackByServerOrClientIdInTheOrderAsked) {
  const std::string first = AddRecord(Record("s1", "c1"));
  const std::string second = AddRecord(Record("s2", "c2"));
  EXPECT_NE(first, second);

  const Json::Value answer = QueryIds("c2,missing,s1,c1");
  ASSERT_EQ(answer["result"].asInt(), 0);
  const Json::Value& list = answer["param"]["_historyrecordlist"];
  ASSERT_EQ(list.size(), 2u) << "each record once, unknown ids left out";
  EXPECT_EQ(list[0]["recordid"].asString(), second);
  EXPECT_EQ(list[1]["recordid"].asString(), first);
  EXPECT_EQ(list[1]["servermessageid"].asString(), "s1");
}

TEST_F(StoreTest, EveryMemberRoundTripsWithItsKind) {
  Json::Value record = Record("s1", "c1");
  record["mediatype"] = "7";            // a text media type is read as a number
  record["filelist"] = "bm90IGpzb24=";  // stored as received, even when it is not a file list
  record["quote"] = "{\"status\":1}";
  record["realMsgType"] = 101900;
  record["UTCDate"] = "2026-12-05";
  record["chattype"] = "1";  // only mediatype accepts a text: the default stays
  AddRecord(record);
  const Json::Value list = QueryIds("s1")["param"]["_historyrecordlist"];
  ASSERT_EQ(list.size(), 1u);
  const struct {
    const char* key;
    Json::Value expected;
  } cases[] = {
      {"mediatype", 7},
      {"filelist", "bm90IGpzb24="},
      {"quote", "{\"status\":1}"},
      {"realMsgType", 101900},
      {"UTCDate", "2026-12-05"},
      {"chattype", -1},
      {"sendStatus", 1},
      {"status", -1},
      {"peername", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(list[0][c.key], c.expected) << c.key;
}

TEST_F(StoreTest, ReceivedFilesAreFoundByFileOrSavedName) {
  Json::Value entries(Json::arrayValue);
  entries[0]["file_name"] = "report.pdf";
  entries[0]["file_real_save_name"] = "report(1).pdf";
  Json::StreamWriterBuilder writer;
  Json::Value withFile = Record("s1", "c1");
  withFile["filelist"] = standin::Base64Encode(Json::writeString(writer, entries));
  AddRecord(withFile);
  AddRecord(Record("s2", "c2"));

  for (const char* name : {"report.pdf", "report(1).pdf"}) {
    Json::Value param;
    param["_multimatchinfo"]["datalist"][0]["keytype"] = 9;
    param["_multimatchinfo"]["datalist"][0]["match_value"][0] = name;
    param["_multimatchinfo"]["datalist"][0]["match_value"][1] = "other.txt";
    param["_multimatchinfo"]["operationtype"] = 67;
    const Json::Value answer = Ask(57, param);
    ASSERT_EQ(answer["result"].asInt(), 0) << name;
    ASSERT_EQ(answer["param"]["_historyrecordlist"].size(), 1u) << name;
    EXPECT_EQ(answer["param"]["_historyrecordlist"][0]["servermessageid"].asString(), "s1");
  }
}

TEST_F(StoreTest, GroupsAndContactsSeededByTheHostAreAnsweredToTheAdapter) {
  Json::Value group;
  group["_groupinfo"]["groupid"] = "team-42";
  group["_groupinfo"]["name"] = "Team 42";
  group["_groupinfo"]["grouptype"] = 2;
  EXPECT_EQ(Ask(30, group, false)["result"].asInt(), 0);
  Json::Value contact;
  contact["UserInfo"]["accountid"] = "alice";
  contact["UserInfo"]["name"] = "Alice";
  contact["UserInfo"]["foreignName"] = "Alice A.";
  EXPECT_EQ(Ask(153, contact, false)["result"].asInt(), 0);

  Json::Value byGroup;
  byGroup["_multimatchinfo"]["datalist"][0]["keytype"] = 1;
  byGroup["_multimatchinfo"]["datalist"][0]["match_value"] = "team-42";
  const Json::Value groups = Ask(31, byGroup);
  ASSERT_EQ(groups["param"]["_groupinfolist"].size(), 1u);
  EXPECT_EQ(groups["param"]["_groupinfolist"][0]["name"].asString(), "Team 42");
  EXPECT_EQ(groups["param"]["_groupinfolist"][0]["grouptype"].asInt(), 2);
  byGroup["_multimatchinfo"]["datalist"][0]["match_value"] = "nobody";
  const Json::Value none = Ask(31, byGroup);
  EXPECT_EQ(none["result"].asInt(), 0);
  EXPECT_EQ(none["param"]["_groupinfolist"].size(), 0u);

  Json::Value byAccount;
  byAccount["_matchinfo"]["accountid"] = "alice";
  EXPECT_EQ(Ask(155, byAccount)["param"]["UserInfo"]["foreignName"].asString(), "Alice A.");
  byAccount["_matchinfo"]["accountid"] = "nobody";
  const Json::Value missing = Ask(155, byAccount);
  EXPECT_EQ(missing["result"].asInt(), 1);
  EXPECT_FALSE(missing["param"].isMember("UserInfo"));
}

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
  };
  for (const auto& c : cases) {
    Json::Value param;
    Json::Reader().parse(c.param, param);
    const Json::Value answer = Ask(c.cmd, param);
    EXPECT_NE(answer["result"].asInt(), 0) << c.name;
    EXPECT_FALSE(answer["reason"].asString().empty()) << c.name;
    EXPECT_NE(answer["rsp"].asInt(), 0) << c.name;
  }
}

TEST_F(StoreTest, TextsThatAreNotRequestsAreAnsweredToTheHost) {
  for (const std::string text : {"not json", "[1,2]", ""}) {
    recorder_.Clear();
    Send(text);
    ASSERT_TRUE(recorder_.WaitForCount(1)) << text;
    const Received got = recorder_.Snapshot()[0];
    EXPECT_FALSE(got.toAdapter) << text;
    EXPECT_NE(got.json["result"].asInt(), 0) << text;
    EXPECT_FALSE(got.json["reason"].asString().empty()) << text;
  }
}

TEST_F(StoreTest, ASettingChangeOpensTheOtherDatabase) {
  AddRecord(Record("s1", "c1"));
  StandInSetOption("IM_STORE_DB", (dir_ + "/other.db").c_str());
  EXPECT_EQ(QueryIds("s1")["param"]["_historyrecordlist"].size(), 0u);
  StandInSetOption("IM_STORE_DB", (dir_ + "/im_store.db").c_str());
  EXPECT_EQ(QueryIds("s1")["param"]["_historyrecordlist"].size(), 1u);
}

TEST_F(StoreTest, AnUnopenableDatabaseIsAFailureNotACrash) {
  StandInSetOption("IM_STORE_DB", (dir_ + "/no/such/folder/x.db").c_str());
  const Json::Value answer = QueryIds("s1");
  EXPECT_EQ(answer["result"].asInt(), 1);
  EXPECT_NE(answer["reason"].asString().find("cannot open"), std::string::npos);
}

TEST_F(StoreTest, ConcurrentCallersEachGetTheirOwnAnswer) {
  const int kThreads = 8;
  const int kEach = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) {
        Json::Value param;
        param["_historyrecord"] = Record("s" + std::to_string(t * 100 + i), "c");
        Send(Request(54, "add", param, 1000 + t * 100 + i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_TRUE(recorder_.WaitForCount(kThreads * kEach));
  std::set<std::string> ids;
  std::set<int> snos;
  for (const Received& r : recorder_.Snapshot()) {
    EXPECT_EQ(r.json["result"].asInt(), 0);
    ids.insert(r.json["param"]["recordId"].asString());
    snos.insert(r.json["sno"].asInt());
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(snos.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(QueryIds("c")["param"]["_historyrecordlist"].size(),
            static_cast<size_t>(kThreads * kEach));
}

}  // namespace

namespace {

TEST(StoreText, TheWrittenRecordListReadsBackAsTheDocumentAnswer) {
  const std::string dir = standin_test::FreshFolder("store_text");
  standin::StandInStore store;
  std::string error;
  ASSERT_TRUE(store.OpenAt(dir + "/im_store.db", &error)) << error;
  Json::Value record = Record("s1", "c1");
  record["content"] = "quote \" back \\ line\nTab\t ctl\x01 \xE4\xB8\xAD\xE6\x96\x87";
  record["convautoid"] = -7;
  ASSERT_TRUE(store.AddRecords({record, Record("s2", "c2")}, &error)) << error;
  StandInSetOption("IM_STORE_DB", (dir + "/im_store.db").c_str());

  Json::Value request;
  request["cmd"] = 57;
  request["sno"] = 5;
  request["adapter"] = 1;
  request["description"] = "zeb_sqlite_query_historyrecord";
  request["param"]["_multimatchinfo"]["datalist"][0]["keytype"] = 3;
  request["param"]["_multimatchinfo"]["datalist"][0]["match_value"] = "c2,s1";
  const std::string text = store.HandleText(request);
  Json::Value parsed;
  ASSERT_TRUE(Json::Reader().parse(text, parsed)) << text;
  EXPECT_EQ(parsed, store.Handle(request));
  EXPECT_EQ(parsed["param"]["_historyrecordlist"][1]["content"], record["content"]);
  StandInSetOption("IM_STORE_DB", nullptr);
}

}  // namespace
