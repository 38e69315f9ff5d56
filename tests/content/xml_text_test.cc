#include <gtest/gtest.h>

#include <string>

#include "common/xml/XmlText.h"

namespace {

struct EscapeCase {
  const char* name;
  std::string (*escape)(const std::string&);
  std::string input;
  std::string expected;
};

TEST(XmlText, EscapeTables) {
  const EscapeCase cases[] = {
      {"xml all five", xml::XmlEscapeText, "a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {"xml entity text is escaped again", xml::XmlEscapeText, "&amp;", "&amp;amp;"},
      {"xml keeps utf8", xml::XmlEscapeText, "\xE4\xBD\xA0<", "\xE4\xBD\xA0&lt;"},
      {"xml unescape all five", xml::XmlUnescapeText, "&lt;&gt;&quot;&apos;&amp;", "<>\"'&"},
      {"xml unescape amp last", xml::XmlUnescapeText, "&amp;lt;", "&lt;"},
      {"xml unescape leaves others", xml::XmlUnescapeText, "&nbsp;&#60;&", "&nbsp;&#60;&"},
      {"template three only", xml::TemplateEscapeText, "<a href=\"x\">&'",
       "&lt;a href=\"x\"&gt;&amp;'"},
      {"html table", xml::HtmlEscapeText, "&<>`\"'/", "&amp;&lt;&gt;&#x60;&quot;&#x27;&#x2f;"},
      // The em dash is the GBK pair, matched only where a character starts.
      {"html utf8 em dashes kept", xml::HtmlEscapeText, "a\xE2\x80\x94\xE2\x80\x94/",
       "a\xE2\x80\x94\xE2\x80\x94&#x2f;"},
      {"html gbk em dashes", xml::HtmlEscapeText, "\xD6\xD0\xA1\xAA\xA1\xAA'",
       "\xD6\xD0&mdash;&mdash;&#x27;"},
      {"html U+786A holds the pair", xml::HtmlEscapeText, "\xE7\xA1\xAA\xA1\xAA&",
       "\xE7\xA1\xAA&mdash;&amp;"},
      {"html gbk pair after a gbk char", xml::HtmlEscapeText, "\xB0\xA1\xAA", "\xB0\xA1\xAA"},
      {"control chars", xml::RemoveControlChars, std::string("a\x01\tb\nc\rd\x1f\x7f", 10) + '\0',
       "a\tb\nc\rd\x7f"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(c.escape(c.input), c.expected) << c.name;
  }
  const std::string text = "<a b=\"1\" c='2'>&amp; & ]]></a>";
  EXPECT_EQ(xml::XmlUnescapeText(xml::XmlEscapeText(text)), text);
}

TEST(XmlText, ReplaceAllResumesAfterInsertedText) {
  struct Case {
    std::string text, from, to, expected;
    size_t count;
  };
  const Case cases[] = {
      {"aaa", "a", "aa", "aaaaaa", 3},
      {"abc", "", "x", "abc", 0},
      {"]]>]]>", "]]>", "]]&gt;", "]]&gt;]]&gt;", 2},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(xml::ReplaceAll(text, c.from, c.to), c.count) << c.text;
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

}  // namespace
