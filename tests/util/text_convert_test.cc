#include <gtest/gtest.h>

#include <string>

#include "util/Utils.h"

namespace {

TEST(TextConvert, ValidTextsRoundTrip) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"", u""},
      {"\xE6\x8A\xA5\xE5\x91\x8A.txt", u"\u62A5\u544A.txt"},
      {"a\xF0\x9F\x98\x80z", u"a\U0001F600z"},  // surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000"},  // either side of the surrogates
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\xEF\xBB\xBFx", u"\uFEFFx"},  // byte order mark kept
  };
  for (const auto& c : cases) {
    EXPECT_EQ(util::Utf8ToUtf16(c.first), c.second) << c.first;
    EXPECT_EQ(util::Utf16ToUtf8(c.second), c.first) << c.first;
  }
}

TEST(TextConvert, InvalidTextGivesNothing) {
  const std::string utf8[] = {"ab\x80",           "a\xFF",         "\xC0\xAF",
                              "\xE0\x80\xAF",     "x\xED\xA0\x80", "\xF4\x90\x80\x80",
                              "\xF5\x80\x80\x80", "a\xE6\x8A",     "a\xF0\x9F\x98",
                              "a\xE6\x8A!"};
  for (const std::string& text : utf8) EXPECT_EQ(util::Utf8ToUtf16(text), u"") << text;
  const std::u16string utf16[] = {
      std::u16string(u"ab") + char16_t(0xD83D),
      std::u16string(u"a") + char16_t(0xD83D) + u"b",
      std::u16string(1, char16_t(0xDE00)),
      std::u16string{char16_t(0xDE00), char16_t(0xD83D)},
  };
  for (const std::u16string& text : utf16) EXPECT_EQ(util::Utf16ToUtf8(text), "");
}

TEST(MaskForLog, HidesByByteLength) {
  // Bytes, not characters: six bytes of UTF-8 lose their middle three.
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"a", "***"}, {"abc", "***"}, {"abcd", "***d"}, {"abcde", "a***e"},
      {"abcdef", "a***ef"}, {"abcdefg", "ab***fg"}, {"abcdefghijk", "abcd***hijk"},
      {"abcdefghijkl", "abcde*****hijkl"}, {"0123456789abcdef", "01234*****bcdef"},
      {"\xE6\x8A\xA5\xE5\x91\x8A", "\xE6***\x91\x8A"}, {std::string("ab\0d", 4), "***d"}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(util::MaskForLog(c.first), c.second) << c.first;
}

}  // namespace
