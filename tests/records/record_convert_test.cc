// History record JSON conversion: what each field accepts from the store,
// what a record looks like when written, and the round trip.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/ImAdapterConvertJson.h"
#include "adapter/src/JsonText.h"

namespace {

// One JSON field of RecordInfo as the store sees it.
struct RecordField {
  const char* key;
  std::string RecordInfo::*text;  // set for text fields
  int32_t RecordInfo::*number;    // set for int fields
  int32_t defaultNumber;
};

RecordField T(const char* key, std::string RecordInfo::*m) { return {key, m, nullptr, 0}; }
RecordField I(const char* key, int32_t RecordInfo::*m, int32_t d) { return {key, nullptr, m, d}; }

using R = RecordInfo;

// The 51 fields the store's record carries (showhtml is written only).
const std::vector<RecordField>& ReadableRecordFields() {
  // clang-format off
  static const std::vector<RecordField> fields = {
      T("recordid", &R::recordid), T("convid", &R::convid), I("convautoid", &R::convautoid, -1),
      T("servermessageid", &R::servermessageid), T("clientmessageid", &R::clientmessageid),
      I("chattype", &R::chattype, -1), T("content", &R::content),
      I("contenttype", &R::contenttype, -1), T("delivertime", &R::delivertime),
      T("filelist", &R::filelist), T("groupid", &R::groupid), T("groupname", &R::groupname),
      T("peername", &R::peername), T("peernativename", &R::peernativename),
      T("originaccount", &R::originaccount), T("targetaccount", &R::targetaccount),
      T("showtext", &R::showtext), T("showtranslate", &R::showtranslate),
      I("mediatype", &R::mediatype, -1), I("isread", &R::isread, 0), I("isdelete", &R::isdelete, 0),
      I("sourceflag", &R::sourceflag, -1), T("quote", &R::quote), T("timestamp", &R::timestamp),
      T("utcstamp", &R::utcstamp), I("status", &R::status, -1), I("submsgtype", &R::submsgtype, 0),
      T("providerCn", &R::providerCn), T("providerEn", &R::providerEn),
      T("combineMessageFileList", &R::combineMessageFileList),
      I("receiptState", &R::receiptState, 0), I("receiptCount", &R::receiptCount, 0),
      I("iswithdraw", &R::iswithdraw, 0), I("duration", &R::duration, 0),
      I("source", &R::source, 0), I("fileSize", &R::fileSize, 0), T("extra", &R::extra),
      T("attachUrl", &R::attachUrl), I("isAppMsg", &R::isAppMsg, 0),
      T("appServiceId", &R::appServiceId), T("appServiceName", &R::appServiceName),
      I("isShowTranslate", &R::isShowTranslate, 0), T("translateLang", &R::translateLang),
      T("emojiReplyInfos", &R::emojiReplyInfos), T("appReplyInfos", &R::appReplyInfos),
      T("chatAtInfo", &R::chatAtInfo), I("isShowAudioText", &R::isShowAudioText, 0),
      T("audioText", &R::audioText), T("UTCDate", &R::UTCDate),
      I("realMsgType", &R::realMsgType, -1)};
  // clang-format on
  return fields;
}

Json::Value One(const std::string& key, const Json::Value& value) {
  Json::Value item(Json::objectValue);
  item[key] = value;
  return item;
}

Json::Value Parse(const std::string& text) {
  Json::Value v;
  EXPECT_EQ(ParseJsonText(text, v), 0) << text;
  return v;
}

TEST(RecordInfoTest, EveryFieldReadsItsOwnTypeOnly) {
  // Values of a wrong type for every text field and for every int field.
  Json::Value object(Json::objectValue);
  object["a"] = 1;
  Json::Value array(Json::arrayValue);
  array.append("x");
  const std::vector<Json::Value> notText = {5, true, Json::Value(), array, object, 2.5};
  // clang-format off
  const std::vector<Json::Value> notInt = {1.5, true, Json::Value(), array, object,
      Json::UInt(2147483648u), -2147483649.0, Json::Int64(1) << 40};
  const std::vector<std::pair<Json::Value, int32_t>> goodInt = {{12345, 12345}, {-3, -3},
      {7.0, 7}, {Json::UInt(2147483647u), 2147483647}, {-2147483648.0, INT32_MIN}};
  // clang-format on

  for (const RecordField& f : ReadableRecordFields()) {
    SCOPED_TRACE(f.key);
    RecordInfo r;
    if (f.text != nullptr) {
      ConvertJsonToRecordInfo(One(f.key, "v\xE4\xB8\xAD"), r);
      EXPECT_EQ(r.*f.text, "v\xE4\xB8\xAD");
      for (const Json::Value& bad : notText) {
        RecordInfo fresh;
        ConvertJsonToRecordInfo(One(f.key, bad), fresh);
        EXPECT_EQ(fresh.*f.text, "") << bad.toStyledString();
      }
    } else {
      for (const auto& g : goodInt) {
        RecordInfo fresh;
        ConvertJsonToRecordInfo(One(f.key, g.first), fresh);
        EXPECT_EQ(fresh.*f.number, g.second) << g.first.toStyledString();
      }
      std::vector<Json::Value> bad = notInt;
      if (std::string(f.key) != "mediatype") bad.push_back(Json::Value("1"));
      for (const Json::Value& b : bad) {
        RecordInfo fresh;
        ConvertJsonToRecordInfo(One(f.key, b), fresh);
        EXPECT_EQ(fresh.*f.number, f.defaultNumber) << b.toStyledString();
      }
    }
  }
}

TEST(RecordInfoTest, MediaTypeAlsoReadsDecimalText) {
  // clang-format off
  const std::vector<std::pair<Json::Value, int32_t>> cases = {{"7", 7}, {"x", 0}, {"", 0},
      {" 12abc", 12}, {"-2", -2}, {"5000000000", 705032704}, {7.0, 7}, {true, -1}, {1.5, -1}};
  // clang-format on
  for (const auto& c : cases) {
    RecordInfo r;
    ConvertJsonToRecordInfo(One("mediatype", c.first), r);
    EXPECT_EQ(r.mediatype, c.second) << c.first.toStyledString();
  }
}

// Write-only keys, members outside the JSON form and keys that are absent keep
// what the record had; an item that is not an object changes nothing.
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

TEST(RecordInfoTest, FreshRecordIsWrittenWithEveryKeyAndItsDefault) {
  Json::Value out;
  ConvertRecordInfoToJson(RecordInfo(), out);
  ASSERT_TRUE(out.isObject());
  std::vector<std::string> expected = {"showhtml", "sendStatus"};
  for (const RecordField& f : ReadableRecordFields()) expected.push_back(f.key);
  EXPECT_EQ(out.size(), expected.size());
  for (const RecordField& f : ReadableRecordFields()) {
    SCOPED_TRACE(f.key);
    ASSERT_TRUE(out.isMember(f.key));
    if (f.text != nullptr) {
      EXPECT_TRUE(out[f.key].isString());
      EXPECT_EQ(out[f.key].asString(), "");
    } else {
      EXPECT_EQ(out[f.key].type(), Json::intValue);
      EXPECT_EQ(out[f.key].asInt(), f.defaultNumber);
    }
  }
  EXPECT_EQ(out["showhtml"], Json::Value(""));
  EXPECT_EQ(out["sendStatus"], Json::Value(1));

  // Other members of the output stay; an output that is not an object is left alone.
  out = Parse(R"({"extraKey":1})");
  ConvertRecordInfoToJson(RecordInfo(), out);
  EXPECT_EQ(out["extraKey"], Json::Value(1));
  Json::Value array = Parse("[1]");
  EXPECT_NO_THROW(ConvertRecordInfoToJson(RecordInfo(), array));
  EXPECT_EQ(array, Parse("[1]"));
}

TEST(RecordInfoTest, RoundTripThroughTextKeepsEveryField) {
  RecordInfo in;
  int32_t n = -100;
  for (const RecordField& f : ReadableRecordFields()) {
    if (f.text != nullptr) {
      in.*f.text = std::string(f.key) + " \xE6\xB6\x88\xE6\x81\xAF \"q\"\\";
    } else {
      in.*f.number = n;
      n += 37;
    }
  }
  in.showhtml = "<b>x</b>";
  in.sendStatus = 0;

  Json::Value written;
  ConvertRecordInfoToJson(in, written);
  Json::Value reread = Parse(StyledJsonText(written));
  EXPECT_EQ(reread["showhtml"].asString(), "<b>x</b>");
  EXPECT_EQ(reread["sendStatus"].asInt(), 0);

  RecordInfo out;
  ConvertJsonToRecordInfo(reread, out);
  for (const RecordField& f : ReadableRecordFields()) {
    if (f.text != nullptr) {
      EXPECT_EQ(out.*f.text, in.*f.text) << f.key;
    } else {
      EXPECT_EQ(out.*f.number, in.*f.number) << f.key;
    }
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
