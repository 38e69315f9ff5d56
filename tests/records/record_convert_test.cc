// History record JSON conversion: what each field accepts from the store, what a record looks
// like when written, and the round trip.
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

}  // namespace
