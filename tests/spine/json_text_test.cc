#include <gtest/gtest.h>

#include <string>

#include "adapter/src/boundary/JsonText.h"

namespace {

TEST(ConvertUnicodeEscapes, TurnsOnlyTheBmpRangeBackIntoUtf8AndLeavesMalformedTextAlone) {
  const struct {
    const char* name;
    std::string input, expected;
  } cases[] = {
      {"plain text", "abc", "abc"},
      {"latin-1 stays escaped", "\\u00e9", "\\u00e9"},
      {"U+0100 is the first converted", "\\u0100", "\xC4\x80"},
      {"cjk becomes three bytes", "\\u4e2d", "\xE4\xB8\xAD"},
      {"upper-case hex and U", "\\U4E2D", "\xE4\xB8\xAD"},
      {"U+D7FF is the last converted", "\\ud7ff", "\xED\x9F\xBF"},
      {"surrogates stay escaped", "\\ud83d\\ude00", "\\ud83d\\ude00"},
      {"U+2060 stays escaped", "\\u2060", "\\u2060"},
      {"private use stays escaped", "\\ue000", "\\ue000"},
      {"kept escape written with lower-case u", "\\U00E9", "\\u00E9"},
      {"escaped backslash before u is no escape", "\\\\u4e2d", "\\\\u4e2d"},
      {"control character stays", "\\u0001", "\\u0001"},
      {"other escapes untouched", "a\\n\\\"b", "a\\n\\\"b"},
      {"malformed: three digits", "\\u4e2", "\\u4e2"},
      {"malformed: the whole input stays", "\\u12g4 and \\u4e2d", "\\u12g4 and \\u4e2d"},
      {"malformed: no digits", "\\u", "\\u"},
  };
  for (const auto& c : cases) EXPECT_EQ(convertUnicodeEscapes(c.input), c.expected) << c.name;
}

// Sorted members, tabs, a trailing newline; otherwise toStyledString with the
// escapes converted, also when the per-thread writer is reused.
TEST(StyledJsonText, SortsMembersIndentsWithTabsAndConvertsTheEscapes) {
  Json::Value v(Json::objectValue);
  v["sno"] = 12;
  v["description"] = "x";
  v["param"]["text"] = "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // é, 中, an emoji
  v["rsp"] = 6;
  EXPECT_EQ(StyledJsonText(v),
            "{\n\t\"description\" : \"x\",\n\t\"param\" : \n\t{\n\t\t\"text\" : "
            "\"\\u00e9\xE4\xB8\xAD\\ud83d\\ude00\"\n\t},\n\t\"rsp\" : 6,\n\t\"sno\" : 12\n}\n");
  v["list"] = Json::Value(Json::arrayValue);
  v["list"].append(1.5);
  v["list"].append(Json::Value(Json::objectValue));
  v["list"].append(Json::Value(Json::arrayValue));
  v["text"] = "a\"b\\c\n\x01\xE4\xB8\xAD";
  v["big"] = Json::UInt64(18446744073709551615ull);
  v["neg"] = -7;
  v["null"] = Json::Value();
  v["yes"] = true;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(StyledJsonText(v), convertUnicodeEscapes(v.toStyledString()));
  }
  EXPECT_EQ(StyledJsonText(Json::Value()), "null\n");
}

TEST(ParseJsonText, AcceptsObjectsAndArraysOnly) {
  const std::pair<const char*, int> cases[] = {
      {"{\"a\":1}", 0}, {"[1,2]", 0}, {"", -1},   {"12", -1},         {"\"text\"", -1},
      {"{\"a\":", -1},  {"null", -1}, {" {}", 0}, {"{} trailing", 0}, {nullptr, -1}};
  for (const auto& [text, expected] : cases) {
    Json::Value out;
    EXPECT_EQ(ParseJsonText(text, out), expected) << (text ? text : "(null)");
  }
}

TEST(JsonNumber, Int32AndUInt32) {
  const struct {
    Json::Value value;
    bool int32, uint32;
  } cases[] = {{5.0, true, true},           {1.5, false, false},
               {-5, true, false},           {4294967296.0, false, false},
               {4294967295.0, false, true}, {"5", false, false},
               {true, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsInt32(c.value), c.int32) << c.value;
    EXPECT_EQ(IsUInt32(c.value), c.uint32) << c.value;
  }
}

}  // namespace
