#include <gtest/gtest.h>

#include <string>

#include "adapter/src/content/ImAdapterMediaToken.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlDocument.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "util/Utils.h"

namespace {

constexpr char kIdAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890=-";

// The <r> envelope around a payload, as a stored body carries it.
std::string Envelope(const std::string& flag, const std::string& payload) {
  return "<r><n>ABCDEFGHIJKL</n><g>" + flag + "</g><c>" + payload + "</c></r>";
}

constexpr size_t kMegabyte = 1u << 20;

std::string Repeat(const std::string& piece, size_t totalBytes) {
  std::string out;
  while (out.size() < totalBytes) out += piece;
  return out;
}

std::string Imbody(const std::string& content, const std::string& html) {
  return "<imbody><content><![CDATA[" + content + "]]></content><html>" + html + "</html></imbody>";
}

struct Parsed {
  std::string content;
  std::string html;
};

Parsed ParseBody(const std::string& body, bool keepPaths = true) {
  Parsed out{"stale", "stale"};
  xml::Parse(body, out.content, out.html, keepPaths);
  return out;
}

// The built body: a 12-character id, flag 0 and the imbody escaped, html in CDATA.
TEST(XmlBuild, EscapedPayloadHasExactForm) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "&lt;html&gt;&lt;/html&gt;"},
      {"<b>x</b>", "&lt;html&gt;&lt;![CDATA[&lt;b&gt;x&lt;/b&gt;]]&gt;&lt;/html&gt;"},
  };
  for (const auto& [html, escapedHtml] : cases) {
    const std::string body = xml::Build("hi", html, 0, false);
    ASSERT_GT(body.size(), 18u);
    EXPECT_EQ(body.substr(0, 6), "<r><n>");
    const std::string id = body.substr(6, 12);
    EXPECT_EQ(id.find_first_not_of(kIdAlphabet), std::string::npos) << id;
    EXPECT_EQ(body.substr(18),
              "</n><g>0</g><c>&lt;imbody&gt;&lt;content&gt;&lt;![CDATA[hi]]&gt;"
              "&lt;/content&gt;" +
                  escapedHtml + "&lt;/imbody&gt;</c></r>");
  }
}

// Content and html as the forwarding code passes them: content XML-escaped.
TEST(XmlBody, BuildThenParseRoundTrips) {
  struct Case {
    const char* name;
    std::string content;
    std::string html;
  };
  const Case cases[] = {
      {"plain", "hello", ""},
      {"markup in text", "a<b>&c\"d'e", "<p>&amp; x</p>"},
      {"cdata end in text", "a]]>b", ""},
      {"entity-looking text", "&amp; &lt; &#60;", ""},
      {"utf8 and blanks", "\xE4\xBD\xA0\xE5\xA5\xBD  \n line", "<i>\xE2\x80\x94</i>"},
      {"media token", "/:um_begin{https://h/f/1|Img|10|a.png|0|1;2;|isOriginalImg: 0}/:um_end", ""},
      {"carriage returns kept", "a\r\nb", ""},
      {"placeholder texts stay in their values", "a ##html## b", "##content##"},
      {"a megabyte", Repeat("text & <markup> ]]> \xE4\xBD\xA0 ", kMegabyte),
       "<p>" + Repeat("<img src=\"./static/emojis/1.png\">x", kMegabyte / 8) + "</p>"},
  };
  for (const Case& c : cases) {
    const std::string escaped = xml::XmlEscapeText(c.content);
    for (int flag : {0, 1}) {
      const std::string body = flag == 0
                                   ? xml::Build(escaped, c.html, 0, false)
                                   : xml::Build(c.content, "<![CDATA[" + c.html + "]]>", 1, true);
      const Parsed parsed = ParseBody(body);
      EXPECT_TRUE(parsed.content == c.content) << c.name << " flag " << flag;
      EXPECT_TRUE(parsed.html == c.html) << c.name << " flag " << flag;
    }
  }
}

// Packed payloads parse like escaped ones (the round trips above, flag 1);
// here only exactly "1" means packed, and no flag at all means not packed.
TEST(XmlBody, OnlyFlagOneMeansPacked) {
  const std::string imbody = Imbody("same text", "<![CDATA[<b>h</b>]]>");
  const std::string packed = util::CompressAndEncode(imbody);
  EXPECT_EQ(xml::GetMessageContentC(Envelope("01", packed)), packed);
  EXPECT_EQ(xml::GetMessageContentC(Envelope("1", packed)), imbody);
  EXPECT_EQ(xml::GetMessageContentC("<r><c>" + xml::XmlEscapeText(imbody) + "</c></r>"), imbody);
}

// Packed payloads as stores and other clients write them: wrapped Base64
// decodes; a corrupt stream gives "" (never the still-encoded text). (A
// stream cut short gives what it inflated to: the content packing tests.)
TEST(XmlBody, DamagedAndWrappedPackedPayloads) {
  const std::string imbody = Imbody(Repeat("long text ", 4000), "");
  const std::string gz = util::GzipCompress(imbody, -1);
  std::string wrapped = util::Base64Encode(gz);
  for (size_t at = 76; at < wrapped.size(); at += 78) wrapped.insert(at, "\r\n");
  EXPECT_EQ(xml::GetMessageContentC(Envelope("1", wrapped + "\n")), imbody);
  EXPECT_EQ(ParseBody(Envelope("1", wrapped)).content, Repeat("long text ", 4000));

  std::string corrupt = gz;
  for (size_t i = 12; i < 40; ++i) corrupt[i] = static_cast<char>(~corrupt[i]);
  const std::string body = Envelope("1", util::Base64Encode(corrupt));
  EXPECT_EQ(xml::GetMessageContentC(body), "");
  EXPECT_EQ(ParseBody(body).content, "");
}

// A merged card's JSON is HTML-escaped into its body. Em dashes, quotes,
// slashes, grave accents, ampersands and links come back exactly, also from
// a card nested in another card's text.
TEST(XmlBody, CardTextReadsBackExactly) {
  const std::string text =
      "a\xE2\x80\x94"
      "b \xE2\x80\x94\xE2\x80\x94 it's a/b `c` & d "
      "https://x.example/p?q=1&r='s' \xE7\xA1\xAA";
  const std::string card = "{\"msg\":\"" + text + "\"}";
  const Parsed inner = ParseBody(xml::Build(xml::HtmlEscapeText(card), "", 0, false));
  EXPECT_EQ(inner.content, card);
  const std::string outerCard = "{\"msg\":\"" + text + "\",\"inner\":\"" +
                                xml::Build(xml::HtmlEscapeText(card), "", 0, false) + "\"}";
  const Parsed outer = ParseBody(xml::Build(xml::HtmlEscapeText(outerCard), "", 0, false));
  EXPECT_EQ(outer.content, outerCard);
}

TEST(XmlBody, OutcomesOfOddBodies) {
  struct Case {
    const char* name;
    std::string body;
    std::string content;
    std::string html;
    bool keepPaths = true;
  };
  const std::string emoticons = xml::XmlEscapeText("<imbody><content><![CDATA[hi ") + "/:< /;>" +
                                std::string("\x01\x02", 2) +
                                xml::XmlEscapeText("]]></content><html></html></imbody>");
  const std::string blanks = xml::Build(
      "t", "<p>a&nbsp;b<img src=\"file:///QX.InternalImg//emotion/1.png\"></p>", 0, false);
  const Case cases[] = {
      {"emoticon codes and control characters", Envelope("0", emoticons), "hi /:< /;>", ""},
      {"blanks, emoji path kept", blanks, "t",
       "<p>a b<img src=\"file:///QX.InternalImg//emotion/1.png\"></p>"},
      {"blanks, emoji path made local", blanks, "t",
       "<p>a b<img role=\"emoji\"src=\"./static/emojis/1.png\"></p>", false},
      {"plain text is its own content", "hello", "hello", ""},
      {"empty body", "", "", ""},
      {"text before the envelope", "x<r><g>0</g><c>y</c></r>", "x<r><g>0</g><c>y</c></r>", ""},
      {"open envelope only", "<r><n>1</n><g>0</g><c>x</c>", "<r><n>1</n><g>0</g><c>x</c>", ""},
      {"envelope without payload", "<r><n>1</n><g>0</g></r>", "", ""},
      {"payload without imbody", Envelope("0", "just text"), "", ""},
      {"imbody without content", Envelope("0", "&lt;imbody&gt;&lt;/imbody&gt;"), "", ""},
      {"imbody without html",
       Envelope("0", xml::XmlEscapeText("<imbody><content><![CDATA[t]]></content>"
                                        "</imbody>")),
       "t", ""},
      {"empty content element", Envelope("0", xml::XmlEscapeText(Imbody("", "<b/>"))), "", ""},
      {"packed flag with garbage payload", Envelope("1", "!!notbase64!!"), "", ""},
      {"broken envelope markup", "<r><g>0</g><c>a</c><x></r>", "", ""},
  };
  for (const Case& c : cases) {
    const Parsed parsed = ParseBody(c.body, c.keepPaths);
    EXPECT_EQ(parsed.content, c.content) << c.name;
    EXPECT_EQ(parsed.html, c.html) << c.name;
  }
}

TEST(XmlBody, PayloadThatIsNotWellFormedIsRepaired) {
  struct Case {
    const char* name;
    std::string payload;
    std::string expected;
  };
  const Case cases[] = {
      {"bare ampersand",
       "&lt;imbody&gt;&lt;content&gt;&lt;![CDATA[a & b]]&gt;&lt;/content&gt;"
       "&lt;html&gt;&lt;/html&gt;&lt;/imbody&gt;",
       Imbody("a & b", "")},
      {"bare less-than", "<imbody>x < y</imbody>", "<imbody>x < y</imbody>"},
      {"unknown entity",
       "&lt;imbody&gt;&lt;content&gt;&lt;![CDATA[&foo;]]&gt;&lt;/content&gt;"
       "&lt;html&gt;&lt;/html&gt;&lt;/imbody&gt;",
       Imbody("&foo;", "")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xml::GetMessageContentC(Envelope("0", c.payload)), c.expected) << c.name;
  }
  EXPECT_EQ(ParseBody(Envelope("0", cases[0].payload)).content, "a & b");
  // No <c> element to repair, or still broken after the repair.
  EXPECT_EQ(xml::GetMessageContentC("<r><g>0</g><x>&</x></r>"), "");
  EXPECT_EQ(xml::GetMessageContentC("<r><g>0</g><c>a</c><b></r>"), "");
}

TEST(XmlBody, String2XmlRepairsContentCdata) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"cdata end", Imbody("a]]>b", ""), Imbody("a]]&gt;b", "")},
      {"ampersand", Imbody("a&b", ""), Imbody("a&amp;b", "")},
      {"greedy to the last content end",
       "<imbody><content><![CDATA[a]]></content>b]]></content>"
       "</imbody>",
       "<imbody><content><![CDATA[a]]&gt;</content>b]]></content></imbody>"},
      {"outside text dropped", "x" + Imbody("c", "") + "y", Imbody("c", "")},
      {"no imbody", "<other/>", "<other/>"},
      {"no content cdata", "<imbody><content>c</content></imbody>",
       "<imbody><content>c</content></imbody>"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xml::string2Xml(c.text), c.expected) << c.name;
  }
}

TEST(XmlNodeValue, ReportsEachFailure) {
  xml::XmlDocument doc;
  ASSERT_EQ(doc.Parse("<r><g>1</g><e></e><m>a<![CDATA[<b>]]>&amp;c</m><s> </s></r>"), 0);
  struct Case {
    const char* path;
    int result;
    std::string value;
  };
  const Case cases[] = {
      {"r.g", 0, "1"},
      {"r.m", 0, "a<b>&c"},
      {"r.s", 0, " "},
      {"r.e", 1, "old"},
      {"r.x", xml::kXmlNodeNotFound, "old"},
      {"x.g", xml::kXmlNodeNotFound, "old"},
  };
  for (const Case& c : cases) {
    std::string value = "old";
    EXPECT_EQ(xml::xmlGetNoteValueByNameT(&doc, c.path, 0, 0, &value), c.result) << c.path;
    EXPECT_EQ(value, c.value) << c.path;
  }
  std::string value;
  EXPECT_EQ(xml::xmlGetNoteValueByNameT(nullptr, "r.g", 0, 0, &value), 1);
  EXPECT_EQ(xml::xmlGetNoteValueByNameT(&doc, nullptr, 0, 0, &value), 1);
  EXPECT_EQ(xml::xmlGetNoteValueByNameT(&doc, "r.g", 0, 0, nullptr), 1);
}

TEST(XmlDocument, RejectsTextsThatAreNotWellFormed) {
  const char* const bad[] = {"",           "text",         "<a>",
                             "<a></b>",    "<a>x & y</a>", "<a>&bogus;</a>",
                             "<a>&#;</a>", "<a>a < b</a>", "<a><![CDATA[x</a>"};
  for (const char* text : bad) {
    xml::XmlDocument doc;
    EXPECT_EQ(doc.Parse(text), xml::kXmlParseFailed) << text;
    xml::XmlNode node;
    EXPECT_NE(doc.GetNodeByUrl("a", &node), 0) << text;
  }
  const char* const good[] = {"<a>&amp;&#60;&#x3c;</a>", "<a><![CDATA[& <]]></a>",
                              "<?xml version=\"1.0\"?><a><!-- & --></a>"};
  for (const char* text : good) {
    xml::XmlDocument doc;
    EXPECT_EQ(doc.Parse(text), 0) << text;
  }
}

// Megabyte runs inside the patterns the content code searches are handled in
// one pass, without deep recursion; each text is left as it was.
TEST(XmlBody, MegabyteRunsInsidePatterns) {
  const std::string run(kMegabyte, 'x');
  EXPECT_EQ(xml::GetMessageContentCXML("<r>" + run), "");
  EXPECT_EQ(xml::GetMessageContentCXML("hello"), "");
  EXPECT_EQ(xml::GetMessageContentC("<r><g>0</g><c>" + Repeat("&", kMegabyte) + "</c></r>").size(),
            kMegabyte);
  EXPECT_EQ(ParseBody("<r><g>0</g><c>" + Repeat("<a>", kMegabyte) + "</c></r>").content, "");
  const std::string plain = Repeat("<r>abc", kMegabyte);
  EXPECT_TRUE(ParseBody(plain).content == plain);
  for (const std::string& text :
       {"<imbody>" + run, "<imbody><content><![CDATA[" + run + "</imbody>",
        "<imbody>" + Repeat("<content><![CDATA[", kMegabyte) + "</imbody>"}) {
    EXPECT_TRUE(xml::string2Xml(text) == text) << text.substr(0, 30);
  }
  for (const std::string& html : {"<img " + run, Repeat("<img <img ", kMegabyte),
                                  "<img role" + Repeat(" ", kMegabyte) + "=\"emoji\" src=\"" +
                                      Repeat("/static/emojis/", kMegabyte) + "\">"}) {
    EXPECT_TRUE(ConvertEmojiPathToLocal(html) == html) << html.substr(0, 30);
  }
  const std::string roles =
      "<img " + Repeat("role = \"  emoj ", kMegabyte) + "src=\"./static/emojis/1.png\">";
  EXPECT_EQ(ConvertEmojiPathToLocal(roles).size(), roles.size() + 12);
  for (const std::string& token : {Repeat("/:um_begin{https://", kMegabyte),
                                   Repeat("/:um_begin{https://\n", kMegabyte) + "}/:um_end"}) {
    std::string text = token;
    EXPECT_TRUE(ReplaceContentPic(text, "T"));
    EXPECT_TRUE(text == token);
  }
  std::string longAddress = "/:um_begin{https://" + run + "}/:um_end";
  EXPECT_TRUE(ReplaceContentPic(longAddress, "T"));
  EXPECT_EQ(longAddress, "T");
  EXPECT_TRUE(ExtractMediaUrl("/:um_begin{" + run) == run);
}

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
