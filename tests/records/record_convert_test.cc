// History record JSON conversion (what each field accepts from the store, what a record looks
// like when written, and the round trip), then the file-list, group and contact conversion.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"

namespace {

// A record with every key the store carries, each with its own value, and the two written-only
// keys (showhtml, sendStatus) as a record read from the store writes them.
const char* const kFullRecord = R"({
    "recordid":"t1","convid":"t2","convautoid":-100,"servermessageid":"t3","clientmessageid":"t4",
    "chattype":-63,"content":"v\u6d88 \"q\"\\","contenttype":-26,"delivertime":"t6",
    "filelist":"t7","groupid":"t8","groupname":"t9","peername":"t10","peernativename":"t11",
    "originaccount":"t12","targetaccount":"t13","showtext":"t14","showtranslate":"t15",
    "mediatype":11,"isread":48,"isdelete":85,"sourceflag":122,"quote":"t16","timestamp":"t17",
    "utcstamp":"t18","status":159,"submsgtype":196,"providerCn":"t19","providerEn":"t20",
    "combineMessageFileList":"t21","receiptState":233,"receiptCount":270,"iswithdraw":307,
    "duration":344,"source":381,"fileSize":418,"extra":"t22","attachUrl":"t23","isAppMsg":455,
    "appServiceId":"t24","appServiceName":"t25","isShowTranslate":492,"translateLang":"t26",
    "emojiReplyInfos":"t27","appReplyInfos":"t28","chatAtInfo":"t29","isShowAudioText":529,
    "audioText":"t30","UTCDate":"t31","realMsgType":566,"showhtml":"","sendStatus":1})";

Json::Value Parse(const std::string& text) {
  Json::Value v;
  EXPECT_EQ(ParseJsonText(text, v), 0) << text;
  return v;
}

Json::Value ReadAndWrite(const Json::Value& item) {
  RecordInfo r;
  ConvertJsonToRecordInfo(item, r);
  Json::Value out;
  ConvertRecordInfoToJson(r, out);
  return out;
}

// Written back, every key keeps its text and its type.
TEST(RecordInfoTest, RoundTripThroughTextKeepsEveryField) {
  const std::string text = StyledJsonText(Parse(kFullRecord));
  EXPECT_EQ(StyledJsonText(Parse(StyledJsonText(ReadAndWrite(Parse(text))))), text);
}

// A fresh record is written with every key, in its type; other members of the output stay and
// an output that is not an object is left alone.
TEST(RecordInfoTest, FreshRecordIsWrittenWithEveryKey) {
  const Json::Value full = Parse(kFullRecord);
  Json::Value out = Parse(R"({"extraKey":1})");
  ConvertRecordInfoToJson(RecordInfo(), out);
  EXPECT_EQ(out.size(), full.size() + 1);
  EXPECT_EQ(out["extraKey"], Json::Value(1));
  EXPECT_EQ(out["sendStatus"], Json::Value(1));
  for (const std::string& key : full.getMemberNames()) {
    EXPECT_EQ(out[key].type(), full[key].type()) << key;
  }
  Json::Value array = Parse("[1]");
  EXPECT_NO_THROW(ConvertRecordInfoToJson(RecordInfo(), array));
  EXPECT_EQ(array, Parse("[1]"));
  RecordInfo record;
  record.showhtml = "<b>x</b>";
  record.sendStatus = 0;
  ConvertRecordInfoToJson(record, out);
  EXPECT_EQ(out["showhtml"], Json::Value("<b>x</b>"));
  EXPECT_EQ(out["sendStatus"], Json::Value(0));
}

// Each key alone of a wrong type reads as the field's default (what a fresh record writes).
TEST(RecordInfoTest, EveryFieldReadsItsOwnTypeOnly) {
  const Json::Value full = Parse(kFullRecord);
  const Json::Value defaults = ReadAndWrite(Json::Value(Json::objectValue));
  const Json::Value array = Parse(R"(["x"])");
  const Json::Value object = Parse(R"({"a":1})");
  const std::vector<Json::Value> notText = {5, true, Json::Value(), array, object, 2.5};
  const std::vector<Json::Value> notInt = {1.5, true, Json::Value(), array, object,
                                           Json::UInt(2147483648u), -2147483649.0,
                                           Json::Int64(1) << 40};
  const std::vector<std::pair<Json::Value, int32_t>> goodInt = {
      {12345, 12345}, {-3, -3}, {7.0, 7}, {Json::UInt(2147483647u), 2147483647},
      {-2147483648.0, INT32_MIN}};
  // mediatype alone also reads decimal text, like an input stream.
  const std::vector<std::pair<Json::Value, int32_t>> mediaText = {
      {"7", 7}, {"x", 0}, {"", 0}, {" 12abc", 12}, {"-2", -2}, {"5000000000", 705032704}};
  for (const std::string& key : full.getMemberNames()) {
    if (key == "showhtml" || key == "sendStatus") continue;
    SCOPED_TRACE(key);
    Json::Value item(Json::objectValue);
    item[key] = full[key];
    EXPECT_EQ(ReadAndWrite(item)[key], full[key]);
    std::vector<std::pair<Json::Value, Json::Value>> cases;
    if (full[key].isString()) {
      for (const Json::Value& bad : notText) cases.emplace_back(bad, defaults[key]);
    } else {
      for (const auto& g : goodInt) cases.emplace_back(g.first, g.second);
      if (key == "mediatype") {
        for (const auto& m : mediaText) cases.emplace_back(m.first, m.second);
      } else {
        cases.emplace_back("1", defaults[key]);
      }
      for (const Json::Value& bad : notInt) cases.emplace_back(bad, defaults[key]);
    }
    for (const auto& c : cases) {
      item[key] = c.first;
      EXPECT_EQ(ReadAndWrite(item)[key], c.second) << c.first.toStyledString();
    }
  }
}

TEST(RecordInfoTest, ReadingLeavesWhatItDoesNotRead) {
  RecordInfo r;
  r.recordid = "keep";
  r.fileList.push_back(FileListItem());
  r.cardInfo.cardType = 19;
  ConvertJsonToRecordInfo(
      Parse(R"({"showhtml":"h","sendStatus":0,"fileList":[],"cardType":5,"convid":"c1"})"), r);
  EXPECT_EQ(r.showhtml, "");
  EXPECT_EQ(r.sendStatus, 1);
  EXPECT_EQ(r.fileList.size(), 1u);
  EXPECT_EQ(r.cardInfo.cardType, 19);
  EXPECT_EQ(r.recordid, "keep");
  EXPECT_EQ(r.convid, "c1");
  for (const Json::Value& item :
       {Json::Value(), Json::Value("text"), Json::Value(3), Parse(R"([{"recordid":"a"}])")}) {
    EXPECT_NO_THROW(ConvertJsonToRecordInfo(item, r));
    EXPECT_EQ(r.recordid, "keep");
  }
}
TEST(StringToInt64Test, ReadsLikeAnInputStream) {
  // clang-format off
  const std::vector<std::pair<std::string, int64_t>> cases = {
      {"0", 0}, {"42", 42}, {"  \t\n42", 42}, {"+8", 8}, {"-8", -8}, {"12abc", 12}, {"0x1F", 0},
      {"3.9", 3}, {"", 0}, {"   ", 0}, {"-", 0}, {"+", 0}, {"- 5", 0}, {"abc", 0},
      {"5000000000", 5000000000LL}, {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN}, {"9223372036854775808", INT64_MAX},
      {"-9223372036854775809", INT64_MIN}, {"99999999999999999999999", INT64_MAX}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(StringToInt64(c.first), c.second) << '"' << c.first << '"';
}

// Numbers and pixel sizes of a one-element list, as "handle size expire duration width/height".
TEST(FileListTest, NumberAndPixelFieldsAcceptTheirForms) {
  const std::pair<const char*, std::string> cases[] = {
      {R"({})", "-1 0 0 0 /"}, {R"({"file_size":"x"})", "-1 0 0 0 /"},
      {R"({"file_handle":12,"file_size":1024,"expire":1700000000,"duration":9})",
       "12 1024 1700000000 9 /"},
      {R"({"file_size":"5000000000"})", "-1 705032704 0 0 /"},
      {R"({"file_size":"  77kB"})", "-1 77 0 0 /"},
      {R"({"file_size":-1})", "-1 0 0 0 /"}, {R"({"expire":""})", "-1 0 0 0 /"},
      {R"({"file_size":1e3,"duration":123456789012345678901234})", "-1 1000 0 0 /"},
      {R"({"file_size":4294967295})", "-1 4294967295 0 0 /"},
      {R"({"file_size":4294967296})", "-1 0 0 0 /"},
      {R"({"expire":"1700000000"})", "-1 0 1700000000 0 /"},
      {R"({"expire":1700000000.0})", "-1 0 1700000000 0 /"},
      {R"({"expire":true})", "-1 0 0 0 /"}, {R"({"expire":"-1"})", "-1 0 4294967295 0 /"},
      {R"({"duration":"9","file_handle":"3"})", "-1 0 0 0 /"},
      {R"({"duration":-9,"file_handle":-9})", "-9 0 0 0 /"},
      {R"({"file_handle":2147483648})", "-1 0 0 0 /"},
      {R"({"width":640,"height":480})", "-1 0 0 0 640/480"},
      {R"({"width":"640","height":"480px"})", "-1 0 0 0 640/480px"},
      {R"({"width":-5,"height":1.5})", "-1 0 0 0 /"}, {R"({"height":null})", "-1 0 0 0 /"},
      {R"({"width":""})", "-1 0 0 0 /"},
      {R"({"width":640.0,"height":true})", "-1 0 0 0 640/"}};
  for (const auto& [element, expected] : cases) {
    std::vector<FileListItem> list;
    ConvertJsonToFileList(Parse(std::string("[") + element + "]"), list);
    ASSERT_EQ(list.size(), 1u) << element;
    const FileListItem& item = list[0];
    EXPECT_EQ(std::to_string(item.file_handle) + " " + std::to_string(item.file_size) + " " +
                  std::to_string(item.expire) + " " + std::to_string(item.duration) + " " +
                  item.width + "/" + item.height,
              expected)
        << element;
  }
}

TEST(FileListTest, ArrayShapes) {
  std::vector<FileListItem> list(1);
  list[0].file_name = "existing";
  ConvertJsonToFileList(Parse(R"([{"file_name":"a"},{"file_name":"b"}])"), list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].file_name + list[1].file_name + list[2].file_name, "existingab");

  // Empty and null arrays add nothing; neither does an object or a string.
  for (const Json::Value& v :
       {Parse("[]"), Json::Value(), Parse(R"({"file_name":"a"})"), Json::Value("[]")}) {
    std::vector<FileListItem> none;
    EXPECT_NO_THROW(ConvertJsonToFileList(v, none));
    EXPECT_TRUE(none.empty()) << v.toStyledString();
  }

  // An element that is not an object still takes its place, with defaults.
  std::vector<FileListItem> mixed;
  EXPECT_NO_THROW(ConvertJsonToFileList(Parse(R"(["x",[1],null,{"file_name":"d"}])"), mixed));
  ASSERT_EQ(mixed.size(), 4u);
  EXPECT_EQ(mixed[0].file_handle, -1);
  EXPECT_EQ(mixed[0].file_name + mixed[3].file_name, "d");
}

// A full entry and a sparse one (only the keys always written) read and are written back
// to the same text; writing appends to an array, makes one of a null, leaves an object alone.
TEST(FileListTest, TextToListToTextKeepsTheText) {
  const std::string text = StyledJsonText(Parse(R"([
    {"file_handle":3,"message_server_chat_id_str":"s1","file_name":"报告.pdf",
     "file_path":"/r/报告.pdf","file_real_save_name":"r.pdf","file_real_save_path":"/r",
     "file_type":"pdf","file_size":"3000000000","um_url":"u/1","um_plain_access_code":"k",
     "width":"640","height":"480","onlyId":"acc1700","expire":1700000000,"duration":4,
     "emotionId":"e","objectId":"o","cdnUrl":"https://cdn/1"},
    {"file_name":"b","file_size":"0","file_handle":-1,"duration":0,"expire":0}])"));
  std::vector<FileListItem> list;
  ConvertJsonToFileList(Parse(text), list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].file_size, 3000000000u);
  list[1].convid = "never written";
  Json::Value written;
  ConvertFileListToJson(list, written);
  EXPECT_EQ(StyledJsonText(written), text);

  ConvertFileListToJson({FileListItem()}, written);
  EXPECT_EQ(written.size(), 3u);
  Json::Value object = Parse(R"({"a":1})");
  EXPECT_NO_THROW(ConvertFileListToJson({FileListItem()}, object));
  EXPECT_EQ(object, Parse(R"({"a":1})"));
  Json::Value empty;
  ConvertFileListToJson({}, empty);
  EXPECT_EQ(empty, Json::Value(Json::arrayValue));
}

// The group conversion shares the field reader whose type rules RecordInfoTest covers field by
// field; here: a store answer, wrong types keeping the defaults, and items that are not objects.
TEST(GroupInfoTest, ReadsTheStoreAnswer) {
  GroupInfo group;
  ConvertJsonToGroupInfo(Parse(R"({"groupid":"g1","name":"Team","capacity":500,"owner":7,
      "isGroupDisableSendMsg":"0","showHisMsgPolicy":2,"teamnotifyisread":1.5,"other":1})"),
                         group);
  EXPECT_EQ(group.groupid + "|" + group.name + "|" + group.owner, "g1|Team|");
  EXPECT_EQ(group.capacity, 500);
  EXPECT_EQ(group.showHisMsgPolicy, 2);
  EXPECT_EQ(group.isGroupDisableSendMsg, 1);
  EXPECT_EQ(group.teamnotifyisread, -1);
  for (const Json::Value& item : {Json::Value("g"), Parse(R"([{"name":"n"}])"), Json::Value()}) {
    EXPECT_NO_THROW(ConvertJsonToGroupInfo(item, group));
    EXPECT_EQ(group.name, "Team");
  }
}

TEST(UserInfoTest, ReadsTheTwoNamesWhenStrings) {
  // {item, "name|foreignName"}
  const std::pair<const char*, const char*> cases[] = {
      {R"({"name":"张三","foreignName":"Zhang San","account":"z1"})", "张三|Zhang San"},
      {R"({"name":"only"})", "only|"}, {R"({"name":1,"foreignName":{"en":"x"}})", "|"},
      {R"({"name":null,"foreignName":["x"]})", "|"}, {R"(["name","foreignName"])", "|"},
      {R"({})", "|"}};
  for (const auto& [item, expected] : cases) {
    UserInfo user;
    EXPECT_NO_THROW(ConvertJsonToUserInfo(Parse(item), user));
    EXPECT_EQ(user.name + "|" + user.foreignName, expected) << item;
  }
}

}  // namespace
