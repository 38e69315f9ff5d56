// Message bodies: building, parsing and repairing them, the XML texts and
// escapes under them, and the plain-search readers beside the XML tree.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "adapter/src/content/ImAdapterMediaToken.h"
#include "common/xml/BodyScan.h"
#include "common/xml/EmojiPath.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlDocument.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "util/Utils.h"

namespace {

using Texts = std::pair<std::string, std::string>;
constexpr size_t kMegabyte = 1u << 20;
constexpr char kIdAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890=-";

// The <r> envelope around a payload, as a stored body carries it.
std::string Envelope(const std::string& flag, const std::string& payload) {
  return "<r><n>ABCDEFGHIJKL</n><g>" + flag + "</g><c>" + payload + "</c></r>";
}

std::string Repeat(const std::string& piece, size_t totalBytes) {
  std::string out;
  while (out.size() < totalBytes) out += piece;
  return out;
}

std::string Imbody(const std::string& content, const std::string& html) {
  return "<imbody><content><![CDATA[" + content + "]]></content><html>" + html + "</html></imbody>";
}

// {content, html} as the body parser gives them.
Texts ParseBody(const std::string& body, bool keepPaths = true) {
  Texts out{"stale", "stale"};
  xml::Parse(body, out.first, out.second, keepPaths);
  return out;
}

// The built body: a 12-character id, flag 0 and the imbody escaped, html in CDATA.
TEST(XmlBuild, EscapedPayloadHasExactForm) {
  const Texts cases[] = {
      {"", "&lt;html&gt;&lt;/html&gt;"},
      {"<b>x</b>", "&lt;html&gt;&lt;![CDATA[&lt;b&gt;x&lt;/b&gt;]]&gt;&lt;/html&gt;"},
  };
  for (const auto& [html, escapedHtml] : cases) {
    const std::string body = xml::Build("hi", html, 0, false);
    const std::string id = body.substr(6, 12);
    EXPECT_EQ(id.find_first_not_of(kIdAlphabet), std::string::npos) << id;
    EXPECT_EQ(
        body.substr(0, 6) + body.substr(18),
        "<r><n></n><g>0</g><c>&lt;imbody&gt;&lt;content&gt;&lt;![CDATA[hi]]&gt;&lt;/content&gt;" +
            escapedHtml + "&lt;/imbody&gt;</c></r>");
  }
}

// {content, html}, content XML-escaped as the forwarding code passes it.
TEST(XmlBody, BuildThenParseRoundTrips) {
  const Texts cases[] = {
      {"hello", ""},
      {"a<b>&c\"d'e", "<p>&amp; x</p>"},
      {"a]]>b", ""},
      {"&amp; &lt; &#60;", ""},
      {"\xE4\xBD\xA0\xE5\xA5\xBD  \n line", "<i>\xE2\x80\x94</i>"},
      {"/:um_begin{https://h/f/1|Img|10|a.png|0|1;2;|isOriginalImg: 0}/:um_end", ""},
      {"a\r\nb", ""},
      {"a ##html## b", "##content##"},  // placeholder texts stay in their values
      {Repeat("text & <markup> ]]> \xE4\xBD\xA0 ", kMegabyte),
       "<p>" + Repeat("<img src=\"./static/emojis/1.png\">x", kMegabyte / 8) + "</p>"},
  };
  for (const Texts& c : cases) {
    const std::string escaped = xml::XmlEscapeText(c.first);
    for (int flag : {0, 1}) {
      const std::string body = flag == 0
                                   ? xml::Build(escaped, c.second, 0, false)
                                   : xml::Build(c.first, "<![CDATA[" + c.second + "]]>", 1, true);
      EXPECT_TRUE(ParseBody(body) == c) << c.first.substr(0, 40) << " flag " << flag;
    }
  }
}

// Packed payloads parse like escaped ones (the round trips above, flag 1);
// here only exactly "1" means packed, and no flag at all means not packed. A
// corrupt stream gives "" (never the still-encoded text); wrapped Base64 and
// streams cut short: the codec tests.
TEST(XmlBody, OnlyFlagOneMeansPackedAndCorruptPackingGivesNothing) {
  const std::string imbody = Imbody("same text", "<![CDATA[<b>h</b>]]>");
  const std::string packed = util::CompressAndEncode(imbody);
  EXPECT_EQ(xml::GetMessageContentC(Envelope("01", packed)), packed);
  EXPECT_EQ(xml::GetMessageContentC(Envelope("1", packed)), imbody);
  EXPECT_EQ(xml::GetMessageContentC("<r><c>" + xml::XmlEscapeText(imbody) + "</c></r>"), imbody);
  std::string corrupt = util::GzipCompress(Imbody(Repeat("long text ", 4000), ""), -1);
  for (size_t i = 12; i < 40; ++i) corrupt[i] = static_cast<char>(~corrupt[i]);
  const std::string body = Envelope("1", util::Base64Encode(corrupt));
  EXPECT_EQ(xml::GetMessageContentC(body), "");
  EXPECT_EQ(ParseBody(body).first, "");
}

// A merged card's JSON is HTML-escaped into its body. Em dashes, quotes,
// slashes, grave accents, ampersands and links come back exactly, also from
// a card nested in another card's text.
TEST(XmlBody, CardTextReadsBackExactly) {
  const std::string text =
      "a\xE2\x80\x94"
      "b \xE2\x80\x94\xE2\x80\x94 it's a/b `c` & d https://x.example/p?q=1&r='s' \xE7\xA1\xAA";
  const std::string card = "{\"msg\":\"" + text + "\"}";
  const std::string inner = xml::Build(xml::HtmlEscapeText(card), "", 0, false);
  EXPECT_EQ(ParseBody(inner).first, card);
  const std::string outerCard = "{\"msg\":\"" + text + "\",\"inner\":\"" + inner + "\"}";
  EXPECT_EQ(ParseBody(xml::Build(xml::HtmlEscapeText(outerCard), "", 0, false)).first, outerCard);
}

TEST(XmlBody, OutcomesOfOddBodies) {
  const std::string emoticons = xml::XmlEscapeText("<imbody><content><![CDATA[hi ") + "/:< /;>" +
                                std::string("\x01\x02", 2) +
                                xml::XmlEscapeText("]]></content><html></html></imbody>");
  const std::string blanks = xml::Build(
      "t", "<p>a&nbsp;b<img src=\"file:///QX.InternalImg//emotion/1.png\"></p>", 0, false);
  const std::pair<std::string, Texts> cases[] = {
      {Envelope("0", emoticons), {"hi /:< /;>", ""}},  // emoticon codes, control characters
      {blanks, {"t", "<p>a b<img src=\"file:///QX.InternalImg//emotion/1.png\"></p>"}},
      {"hello", {"hello", ""}},  // plain text is its own content
      {"", {"", ""}},
      {"x<r><g>0</g><c>y</c></r>", {"x<r><g>0</g><c>y</c></r>", ""}},
      {"<r><n>1</n><g>0</g><c>x</c>", {"<r><n>1</n><g>0</g><c>x</c>", ""}},
      {"<r><n>1</n><g>0</g></r>", {"", ""}},
      {Envelope("0", "just text"), {"", ""}},
      {Envelope("0", "&lt;imbody&gt;&lt;/imbody&gt;"), {"", ""}},
      {Envelope("0", xml::XmlEscapeText("<imbody><content><![CDATA[t]]></content></imbody>")),
       {"t", ""}},
      {Envelope("0", xml::XmlEscapeText(Imbody("", "<b/>"))), {"", ""}},
      {Envelope("1", "!!notbase64!!"), {"", ""}},
      {"<r><g>0</g><c>a</c><x></r>", {"", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseBody(c.first), c.second) << c.first;
  EXPECT_EQ(ParseBody(blanks, false),  // emoji paths made local
            Texts("t", "<p>a b<img role=\"emoji\"src=\"./static/emojis/1.png\"></p>"));
}

// {payload, repaired imbody}; "" when there is no <c> element or it is still
// broken after the repair.
TEST(XmlBody, PayloadThatIsNotWellFormedIsRepaired) {
  const std::string escaped = xml::XmlEscapeText(Imbody("a # b", ""));
  const std::string at = escaped.substr(0, escaped.find('#'));
  const std::string after = escaped.substr(escaped.find('#') + 1);
  const std::pair<std::string, std::string> cases[] = {
      {Envelope("0", at + "&" + after), Imbody("a & b", "")},
      {Envelope("0", at + "&foo;" + after), Imbody("a &foo; b", "")},
      {Envelope("0", "<imbody>x < y</imbody>"), "<imbody>x < y</imbody>"},
      {"<r><g>0</g><x>&</x></r>", ""},
      {"<r><g>0</g><c>a</c><b></r>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(xml::GetMessageContentC(c.first), c.second) << c.first;
  EXPECT_EQ(ParseBody(cases[0].first).first, "a & b");
}

TEST(XmlBody, String2XmlRepairsContentCdata) {
  const std::pair<std::string, std::string> cases[] = {
      {Imbody("a]]>b", ""), Imbody("a]]&gt;b", "")},
      {Imbody("a&b", ""), Imbody("a&amp;b", "")},
      // greedy to the last content end
      {"<imbody><content><![CDATA[a]]></content>b]]></content></imbody>",
       "<imbody><content><![CDATA[a]]&gt;</content>b]]></content></imbody>"},
      {"x" + Imbody("c", "") + "y", Imbody("c", "")},  // outside text dropped
      {"<other/>", "<other/>"},
      {"<imbody><content>c</content></imbody>", "<imbody><content>c</content></imbody>"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(xml::string2Xml(c.first), c.second) << c.first;
}

TEST(XmlNodeValue, ReportsEachFailure) {
  xml::XmlDocument doc;
  ASSERT_EQ(doc.Parse("<r><g>1</g><e></e><m>a<![CDATA[<b>]]>&amp;c</m><s> </s></r>"), 0);
  const std::tuple<const char*, int, std::string> cases[] = {
      {"r.g", 0, "1"},
      {"r.m", 0, "a<b>&c"},
      {"r.s", 0, " "},
      {"r.e", 1, "old"},
      {"r.x", xml::kXmlNodeNotFound, "old"},
      {"x.g", xml::kXmlNodeNotFound, "old"},
  };
  for (const auto& [path, result, expected] : cases) {
    std::string value = "old";
    EXPECT_EQ(xml::xmlGetNoteValueByNameT(&doc, path, 0, 0, &value), result) << path;
    EXPECT_EQ(value, expected) << path;
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
  for (const char* text : {"<a>&amp;&#60;&#x3c;</a>", "<a><![CDATA[& <]]></a>",
                           "<?xml version=\"1.0\"?><a><!-- & --></a>"}) {
    EXPECT_EQ(xml::XmlDocument().Parse(text), 0) << text;
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
  EXPECT_EQ(ParseBody("<r><g>0</g><c>" + Repeat("<a>", kMegabyte) + "</c></r>").first, "");
  const std::string plain = Repeat("<r>abc", kMegabyte);
  EXPECT_TRUE(ParseBody(plain).first == plain);
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
    EXPECT_TRUE(ReplaceContentPic(text, "T") && text == token);
  }
  std::string longAddress = "/:um_begin{https://" + run + "}/:um_end";
  EXPECT_TRUE(ReplaceContentPic(longAddress, "T"));
  EXPECT_EQ(longAddress, "T");
  EXPECT_TRUE(ExtractMediaUrl("/:um_begin{" + run) == run);
}

TEST(XmlText, EscapeTables) {
  using Escape = std::string (*)(const std::string&);
  const std::tuple<Escape, std::string, std::string> cases[] = {
      {xml::XmlEscapeText, "a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {xml::XmlEscapeText, "&amp;", "&amp;amp;"},
      {xml::XmlEscapeText, "\xE4\xBD\xA0<", "\xE4\xBD\xA0&lt;"},
      {xml::XmlUnescapeText, "&lt;&gt;&quot;&apos;&amp;", "<>\"'&"},
      {xml::XmlUnescapeText, "&amp;lt;", "&lt;"},  // amp last
      {xml::XmlUnescapeText, "&nbsp;&#60;&", "&nbsp;&#60;&"},
      {xml::TemplateEscapeText, "<a href=\"x\">&'", "&lt;a href=\"x\"&gt;&amp;'"},
      {xml::HtmlEscapeText, "&<>`\"'/", "&amp;&lt;&gt;&#x60;&quot;&#x27;&#x2f;"},
      // The em dash is the GBK pair, matched only where a character starts:
      // UTF-8 em dashes kept, GBK ones escaped, also after U+786A and another GBK character.
      {xml::HtmlEscapeText, "a\xE2\x80\x94\xE2\x80\x94/", "a\xE2\x80\x94\xE2\x80\x94&#x2f;"},
      {xml::HtmlEscapeText, "\xD6\xD0\xA1\xAA\xA1\xAA'", "\xD6\xD0&mdash;&mdash;&#x27;"},
      {xml::HtmlEscapeText, "\xE7\xA1\xAA\xA1\xAA&", "\xE7\xA1\xAA&mdash;&amp;"},
      {xml::HtmlEscapeText, "\xB0\xA1\xAA", "\xB0\xA1\xAA"},
      {xml::RemoveControlChars, std::string("a\x01\tb\nc\rd\x1f\x7f\0", 11), "a\tb\nc\rd\x7f"},
  };
  for (const auto& [escape, input, expected] : cases) EXPECT_EQ(escape(input), expected) << input;
  const std::string text = "<a b=\"1\" c='2'>&amp; & ]]></a>";
  EXPECT_EQ(xml::XmlUnescapeText(xml::XmlEscapeText(text)), text);
}

TEST(XmlText, ReplaceAllResumesAfterInsertedText) {
  const std::tuple<std::string, std::string, std::string, std::string, size_t> cases[] = {
      {"aaa", "a", "aa", "aaaaaa", 3},
      {"abc", "", "x", "abc", 0},
      {"]]>]]>", "]]>", "]]&gt;", "]]&gt;]]&gt;", 2},
  };
  for (auto [text, from, to, expected, count] : cases) {
    EXPECT_EQ(xml::ReplaceAll(text, from, to), count) << expected;
    EXPECT_EQ(text, expected);
  }
}

// ---- Plain-search readers ----------------------------------------------------
// The plain-search readers of the body layers give exactly what the XML tree
// gives for every text they accept, and refuse what the tree treats
// differently; the searches under them match byte-by-byte searches.
// What a plain-search reader (scan) or the XML tree gives for an envelope
// (flag, payload) or an imbody payload (content, html).
struct Reading {
  bool ok = false;
  std::string first = "untouched";
  std::string second = "untouched";
};

Reading Scan(bool imbody, const std::string& text) {
  Reading r;
  r.ok = imbody ? xml::ScanImbody(text, xml::FindControlChar(text) == std::string::npos, &r.first,
                                  &r.second)
                : xml::ScanEnvelope(text, &r.first, &r.second);
  return r;
}

bool TreeValue(const xml::XmlDocument& doc, const char* path, std::string* value) {
  xml::XmlNode node;
  return doc.GetNodeByUrl(path, &node) == xml::kXmlOk &&
         xml::XmlDocument::GetNodeValue(node, value) == xml::kXmlOk;
}

// Content and html are read through string2Xml, as the body parser does.
Reading Tree(bool imbody, const std::string& text) {
  Reading r;
  xml::XmlDocument doc;
  r.ok = doc.Parse(imbody ? xml::string2Xml(text) : text) == xml::kXmlOk &&
         TreeValue(doc, imbody ? "imbody.content" : "r.g", &r.first) &&
         TreeValue(doc, imbody ? "imbody.html" : "r.c", &r.second);
  if (imbody) {
    xml::ReplaceAll(r.first, "]]&gt;", "]]>");
    xml::ReplaceAll(r.first, "&amp;", "&");
  }
  return r;
}

// Pieces that change how a body reads, put into seed texts at many places.
// clang-format off
const char* const kPieces[] = {
    "&", "<", ">", "&lt;", "&gt;", "&amp;", "&quot;", "&apos;", "&#60;", "&#x3c;", "&ap", "&amp",
    "]]>", "<![CDATA[", "\x01", "\r", "\t", "</c>", "</r>", "<r>", "<g>", "</html>", "<html>",
    "]]></content>", "<imbody>", "</imbody>", "&lt;![CDATA[", "]]&gt;", "<b/>", "<!-- x -->",
    "\xE2\x80\x94",
};
// clang-format on

// Every seed, and every seed with one piece inserted at or replacing one byte,
// or with that byte erased, at a spread of places from a fixed random sequence.
std::vector<std::string> Variants(const std::vector<std::string>& seeds) {
  std::mt19937 random(20261205);
  std::vector<std::string> out = seeds;
  for (const std::string& seed : seeds) {
    for (const char* piece : kPieces) {
      for (int n = 0; n < 24; ++n) {
        const size_t at = random() % (seed.size() + 1);
        out.push_back(std::string(seed).insert(at, piece));
        if (at < seed.size()) {
          out.push_back(std::string(seed).replace(at, 1, piece));
          out.push_back(std::string(seed).erase(at, 1));
        }
      }
    }
  }
  return out;
}

TEST(BodyScan, Cases) {
  // {imbody payload (else envelope), text, first, second}; first "" for a text
  // the scan refuses, leaving its outputs alone.
  const std::tuple<bool, std::string, std::string, std::string> cases[] = {
      {false, xml::Build("hi", "", 0, false), "0", Imbody("hi", "")},
      {false, Envelope("1", "a&amp;b&lt;&gt;&quot;&apos;"), "1", "a&b<>\"'"},
      {false, Envelope("0", "a\r\n\tb"), "0", "a\r\n\tb"},  // line ends and tabs kept
      {false, "<r><n></n><g>0</g><c>p</c></r>", "0", "p"},  // empty id
      {false, Envelope("", "p"), "", ""},                   // empty flag
      {false, Envelope("0", "a&#60;"), "", ""},             // character reference
      {false, Envelope("0", "a & b"), "", ""},
      {false, Envelope("0", "a\x01"), "", ""},
      {false, Envelope("0", "p") + "x", "", ""},
      {false, "<r> <n>x</n><g>0</g><c>p</c></r>", "", ""},  // blank between tags
      {false, Envelope("&amp;", "p"), "", ""},
      {true, Imbody("t", "<![CDATA[<b>h</b>]]>"), "t", "<b>h</b>"},
      {true, Imbody("t", "plain"), "t", "plain"},
      {true, Imbody("a]]>b", "<![CDATA[x]]>"), "a]]>b", "x"},
      {true, Imbody("a &amp; b", "h"), "a &amp; b", "h"},  // content escapes stay as written
      {true, "x" + Imbody("t", "h") + "y", "t", "h"},
      {true, Imbody("a\x01" + std::string("b"), "h"), "ab", "h"},  // control character dropped
      {true, Imbody("t", ""), "", ""},
      {true, Imbody("t", "a&amp;b"), "", ""},  // entity in plain html
      {true, Imbody("t", "<b>h</b>"), "", ""},
      {true, "<imbody><content><![CDATA[t]]></content></imbody>", "", ""},
  };
  for (const auto& [imbody, text, first, second] : cases) {
    const Reading r = Scan(imbody, text);
    EXPECT_EQ(r.ok, !first.empty()) << text;
    EXPECT_EQ(r.first, first.empty() ? "untouched" : first) << text;
    EXPECT_EQ(r.second, first.empty() ? "untouched" : second) << text;
  }
}

// Every generated text the scan accepts reads exactly as the tree reads it.
TEST(BodyScan, AcceptedTextsReadAsTheTreeReadsThem) {
  for (bool imbody : {false, true}) {
    std::vector<std::string> seeds = {
        Imbody("hello", "<![CDATA[<b>x</b>]]>"),
        Imbody("a &amp; b ]]&gt; c", "<![CDATA[<p>a&amp;b</p>]]>"),
        Imbody("text", "plain html"),
        Imbody("", "<![CDATA[h]]>"),
        Imbody("x", ""),
        "lead<imbody><content><![CDATA[t]]></content><html><![CDATA[h]]></html></imbody>tail",
        "<imbody><content><![CDATA[t]]></content></imbody>",
    };
    if (!imbody) {
      for (std::string& seed : seeds) seed = Envelope("0", xml::XmlEscapeText(seed));
      seeds.push_back(Envelope("1", "eJzLSM3JyVcozy/KSQEAGgQEXQ=="));
    }
    size_t accepted = 0;
    for (const std::string& text : Variants(seeds)) {
      const Reading scan = Scan(imbody, text);
      if (!scan.ok) continue;
      ++accepted;
      const Reading tree = Tree(imbody, text);
      ASSERT_TRUE(tree.ok) << text;
      EXPECT_EQ(scan.first, tree.first) << text;
      EXPECT_EQ(scan.second, tree.second) << text;
    }
    EXPECT_GT(accepted, 100u) << imbody;
  }
}

// The greedy span by the standard library's plain searches.
xml::TextSpan NaiveSpan(const std::string& text, const std::string& open,
                        const std::string& close) {
  const size_t begin = text.find(open), at = text.rfind(close);
  if (begin == std::string::npos || at == std::string::npos || at < begin + open.size()) return {};
  return {true, begin, at + close.size(), begin + open.size(), at};
}

// The word-at-a-time searches behind the readers find exactly what a
// byte-by-byte search finds, wherever the match falls in an eight-byte word.
TEST(BodyScan, GreedySpanMatchesByteSearch) {
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

TEST(BodyScan, ControlCharacterAtEveryPlace) {
  for (size_t size = 0; size < 40; ++size) {
    const std::string clean(size, '\n');  // line ends are not control characters
    EXPECT_EQ(xml::FindControlChar(clean + "\t\r\x20\xA0"), std::string::npos);
    for (size_t at = 0; at < size; ++at) {
      for (const char c : {'\x00', '\x1f', '\x0b'}) {
        std::string text = clean;
        text[at] = c;
        EXPECT_EQ(xml::FindControlChar(text), at) << size << " " << at;
      }
    }
  }
}

TEST(BodyScan, EmojiAddressFoundAtEveryOffsetAndLetterCase) {
  const std::string addresses[] = {"file:///QX.InternalImg//emotion/",
                                   "FILE:///qx.internalimg//EMOTION/",
                                   "fIlE:///Qx.InTeRnAlImG//eMoTiOn/"};
  for (const std::string& address : addresses) {
    for (size_t pad = 0; pad < 17; ++pad) {
      const std::string html = "<img " + std::string(pad, 'F') + " src=\"" + address + "1.png\">";
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
