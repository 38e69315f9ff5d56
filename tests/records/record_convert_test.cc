// History record JSON conversion: what each field accepts from the store,
// what a record looks like when written, and the round trip.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/ImAdapterConvertJson.h"
#include "adapter/src/JsonText.h"

namespace {

// One JSON field of RecordInfo: a text member or an int member with its default.
struct RecordField {
  const char* key;
  std::string RecordInfo::*text;
  int32_t RecordInfo::*number;
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

RecordInfo ReadOne(const std::string& key, const Json::Value& value) {
  Json::Value item(Json::objectValue);
  item[key] = value;
  RecordInfo r;
  ConvertJsonToRecordInfo(item, r);
  return r;
}

Json::Value Parse(const std::string& text) {
  Json::Value v;
  EXPECT_EQ(ParseJsonText(text, v), 0) << text;
  return v;
}

TEST(RecordInfoTest, EveryFieldReadsItsOwnTypeOnly) {
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
  for (const RecordField& f : ReadableRecordFields()) {
    SCOPED_TRACE(f.key);
    if (f.text != nullptr) {
      EXPECT_EQ(ReadOne(f.key, "v\xE4\xB8\xAD").*f.text, "v\xE4\xB8\xAD");
      for (const Json::Value& bad : notText) {
        EXPECT_EQ(ReadOne(f.key, bad).*f.text, "") << bad.toStyledString();
      }
      continue;
    }
    const bool media = std::string(f.key) == "mediatype";
    std::vector<std::pair<Json::Value, int32_t>> cases = goodInt;
    if (media) cases.insert(cases.end(), mediaText.begin(), mediaText.end());
    for (const Json::Value& bad : notInt) cases.emplace_back(bad, f.defaultNumber);
    if (!media) cases.emplace_back("1", f.defaultNumber);
    for (const auto& c : cases) {
      EXPECT_EQ(ReadOne(f.key, c.first).*f.number, c.second) << c.first.toStyledString();
    }
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

// A fresh record is written with every key and its default; a filled one reads back as it was.
TEST(RecordInfoTest, WritingAndReadingBack) {
  Json::Value fresh = Parse(R"({"extraKey":1})");
  ConvertRecordInfoToJson(RecordInfo(), fresh);
  EXPECT_EQ(fresh.size(), ReadableRecordFields().size() + 3);  // + showhtml, sendStatus, extraKey
  EXPECT_EQ(fresh["extraKey"], Json::Value(1));
  EXPECT_EQ(fresh["showhtml"], Json::Value(""));
  EXPECT_EQ(fresh["sendStatus"], Json::Value(1));
  Json::Value array = Parse("[1]");
  EXPECT_NO_THROW(ConvertRecordInfoToJson(RecordInfo(), array));
  EXPECT_EQ(array, Parse("[1]"));

  RecordInfo in;
  int32_t n = -100;
  for (const RecordField& f : ReadableRecordFields()) {
    SCOPED_TRACE(f.key);
    ASSERT_TRUE(fresh.isMember(f.key));
    if (f.text != nullptr) {
      EXPECT_EQ(fresh[f.key], Json::Value(""));
      in.*f.text = std::string(f.key) + " \xE6\xB6\x88\xE6\x81\xAF \"q\"\\";
    } else {
      EXPECT_EQ(fresh[f.key].type(), Json::intValue);
      EXPECT_EQ(fresh[f.key].asInt(), f.defaultNumber);
      in.*f.number = n;
      n += 37;
    }
  }
  in.showhtml = "<b>x</b>";
  in.sendStatus = 0;
  Json::Value written;
  ConvertRecordInfoToJson(in, written);
  const Json::Value reread = Parse(StyledJsonText(written));
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
