#include <gtest/gtest.h>

#include <string>

#include "util/Utils.h"

namespace {

struct ValidCase {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

TEST(TextConvert, ValidTextsRoundTrip) {
  const ValidCase cases[] = {
      {"empty", "", u""},
      {"ascii path", "/tmp/a b.txt", u"/tmp/a b.txt"},
      {"chinese file name", "\xE6\x8A\xA5\xE5\x91\x8A.txt", u"\u62A5\u544A.txt"},
      {"emoji as surrogate pair", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"last unit before surrogates", "\xED\x9F\xBF", u"\uD7FF"},
      {"first unit after surrogates", "\xEE\x80\x80", u"\uE000"},
      {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"byte order mark kept", "\xEF\xBB\xBFx", u"\uFEFFx"},
  };
  for (const ValidCase& c : cases) {
    EXPECT_EQ(util::Utf8ToUtf16(c.utf8), c.utf16) << c.name;
    EXPECT_EQ(util::Utf16ToUtf8(c.utf16), c.utf8) << c.name;
  }
  EXPECT_EQ(util::Utf8ToUtf16("a\xF0\x9F\x98\x80z").size(), 4u);  // two units for the emoji
}

TEST(TextConvert, InvalidUtf8GivesNothing) {
  const std::pair<const char*, std::string> cases[] = {
      {"lone continuation byte", "ab\x80"},
      {"invalid byte",
       "a\xFF"
       "b"},
      {"overlong slash", "\xC0\xAF"},
      {"overlong three bytes", "\xE0\x80\xAF"},
      {"encoded high surrogate", "x\xED\xA0\x80"},
      {"encoded surrogate pair", "\xED\xA0\xBD\xED\xB8\x80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80"},
      {"lead byte F5", "\xF5\x80\x80\x80"},
      {"cut short at the end", "a\xE6\x8A"},
      {"four-byte cut short at the end", "a\xF0\x9F\x98"},
      {"cut short before ASCII",
       "a\xE6\x8A"
       "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(util::Utf8ToUtf16(c.second), u"") << c.first;
  }
}

TEST(TextConvert, InvalidUtf16GivesNothing) {
  const std::pair<const char*, std::u16string> cases[] = {
      {"lone high surrogate at the end", std::u16string(u"ab") + char16_t(0xD83D)},
      {"lone high surrogate inside", std::u16string(u"a") + char16_t(0xD83D) + u"b"},
      {"lone low surrogate", std::u16string(1, char16_t(0xDE00))},
      {"pair in the wrong order", std::u16string{char16_t(0xDE00), char16_t(0xD83D)}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(util::Utf16ToUtf8(c.second), "") << c.first;
  }
}

}  // namespace
