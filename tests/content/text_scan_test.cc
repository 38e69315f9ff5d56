// The word-at-a-time scans behind the body parser: the greedy span search,
// the control-character search and the case-insensitive emoji address
// search must find exactly what a byte-by-byte search finds, wherever the
// match falls relative to eight-byte words.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/xml/EmojiPath.h"
#include "common/xml/XmlText.h"

namespace {

// The greedy span by plain byte comparison.
xml::TextSpan NaiveSpan(const std::string& text, const std::string& open,
                        const std::string& close) {
  xml::TextSpan span;
  const size_t begin = text.find(open);
  if (begin == std::string::npos) return span;
  const size_t innerBegin = begin + open.size();
  for (size_t at = text.size() < close.size() ? 0 : text.size() - close.size() + 1;
       at-- > innerBegin;) {
    if (text.compare(at, close.size(), close) == 0) {
      span.found = true;
      span.begin = begin;
      span.innerBegin = innerBegin;
      span.innerEnd = at;
      span.end = at + close.size();
      return span;
    }
  }
  return span;
}

TEST(TextScan, GreedySpanMatchesByteSearch) {
  std::mt19937 random(7);
  const char alphabet[] = "<r/>a";
  const std::pair<const char*, const char*> markers[] = {
      {"<r>", "</r>"}, {"<", ">"}, {"<r>", "r>"}, {"a", "a"}};
  for (int n = 0; n < 20000; ++n) {
    std::string text(random() % 40, ' ');
    for (char& c : text) c = alphabet[random() % 5];
    for (const auto& m : markers) {
      const xml::TextSpan expected = NaiveSpan(text, m.first, m.second);
      const xml::TextSpan actual = xml::FindGreedySpan(text, m.first, m.second);
      ASSERT_EQ(actual.found, expected.found) << text << " " << m.first << m.second;
      if (!expected.found) continue;
      EXPECT_EQ(actual.begin, expected.begin) << text;
      EXPECT_EQ(actual.innerEnd, expected.innerEnd) << text;
      EXPECT_EQ(actual.end, expected.end) << text;
    }
  }
}

TEST(TextScan, ControlCharacterAtEveryPlace) {
  for (size_t size = 0; size < 40; ++size) {
    const std::string clean(size, 'x');
    EXPECT_EQ(xml::FindControlChar(clean), std::string::npos);
    EXPECT_EQ(xml::FindControlChar(std::string(size, '\n') + "\t\r"), std::string::npos);
    for (size_t at = 0; at < size; ++at) {
      for (const char c : {'\x00', '\x01', '\x1f', '\x0b'}) {
        std::string text = clean;
        text[at] = c;
        EXPECT_EQ(xml::FindControlChar(text), at) << size << " " << at;
      }
      // Bytes just above the range and high bytes are not control characters.
      std::string high = clean;
      high[at] = at % 2 ? '\x20' : '\xA0';
      EXPECT_EQ(xml::FindControlChar(high), std::string::npos);
    }
  }
}

TEST(TextScan, EmojiAddressFoundAtEveryOffsetAndLetterCase) {
  const std::string addresses[] = {"file:///QX.InternalImg//emotion/",
                                   "FILE:///qx.internalimg//EMOTION/",
                                   "fIlE:///Qx.InTeRnAlImG//eMoTiOn/"};
  for (const std::string& address : addresses) {
    for (size_t pad = 0; pad < 17; ++pad) {
      const std::string html =
          "<img " + std::string(pad, 'F') + " src=\"" + address + "1.png\">";
      EXPECT_EQ(xml::ConvertEmojiPathToLocal(html),
                "<img role=\"emoji\"" + std::string(pad, 'F') + " src=\"./static/emojis/1.png\">")
          << address << " " << pad;
    }
  }
  // An address cut short is not one.
  const std::string cut = "<img src=\"file:///QX.InternalImg//emotion\">";
  EXPECT_EQ(xml::ConvertEmojiPathToLocal(cut), cut);
}

}  // namespace
