// The plain-search readers of the body layers give exactly what the XML tree
// gives for every text they accept, and refuse what the tree treats
// differently; the searches under them match byte-by-byte searches.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/xml/BodyScan.h"
#include "common/xml/EmojiPath.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlDocument.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"

namespace {

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

std::string Imbody(const std::string& content, const std::string& html) {
  return "<imbody><content><![CDATA[" + content + "]]></content><html>" + html + "</html></imbody>";
}

std::string Envelope(const std::string& flag, const std::string& payload) {
  return "<r><n>ABCDEFGHIJKL</n><g>" + flag + "</g><c>" + payload + "</c></r>";
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
