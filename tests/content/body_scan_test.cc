// The plain-search readers of the body layers give exactly what the XML tree
// gives for every text they accept, and refuse what the tree treats differently.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/xml/BodyScan.h"
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

// Every seed, and every seed with one piece inserted at or replacing one byte
// at a spread of places, from a fixed random sequence.
std::vector<std::string> Variants(const std::vector<std::string>& seeds) {
  std::mt19937 random(20261205);
  std::vector<std::string> out = seeds;
  for (const std::string& seed : seeds) {
    for (const char* piece : kPieces) {
      for (int n = 0; n < 24; ++n) {
        const size_t at = random() % (seed.size() + 1);
        std::string inserted = seed;
        inserted.insert(at, piece);
        out.push_back(inserted);
        if (at < seed.size()) {
          std::string replaced = seed;
          replaced.replace(at, 1, piece);
          out.push_back(replaced);
          std::string erased = seed;
          erased.erase(at, 1);
          out.push_back(erased);
        }
      }
    }
  }
  return out;
}

std::vector<std::string> ImbodySeeds() {
  return {
      Imbody("hello", "<![CDATA[<b>x</b>]]>"),
      Imbody("a &amp; b ]]&gt; c", "<![CDATA[<p>a&amp;b</p>]]>"),
      Imbody("text", "plain html"),
      Imbody("", "<![CDATA[h]]>"),
      Imbody("x", ""),
      "lead<imbody><content><![CDATA[t]]></content><html><![CDATA[h]]></html></imbody>tail",
      "<imbody><content><![CDATA[t]]></content></imbody>",
  };
}

TEST(BodyScan, Cases) {
  struct Case {
    const char* name;
    bool imbody;
    std::string text;
    bool accepted;
    std::string first;
    std::string second;
  };
  const Case cases[] = {
      {"built body", false, xml::Build("hi", "", 0, false), true, "0",
       "<imbody><content><![CDATA[hi]]></content><html></html></imbody>"},
      {"five entities", false, Envelope("1", "a&amp;b&lt;&gt;&quot;&apos;"), true, "1", "a&b<>\"'"},
      {"line ends and tabs kept", false, Envelope("0", "a\r\n\tb"), true, "0", "a\r\n\tb"},
      {"empty id", false, "<r><n></n><g>0</g><c>p</c></r>", true, "0", "p"},
      {"empty flag", false, Envelope("", "p"), false, "", ""},
      {"character reference", false, Envelope("0", "a&#60;"), false, "", ""},
      {"bare ampersand", false, Envelope("0", "a & b"), false, "", ""},
      {"control character", false, Envelope("0", "a\x01"), false, "", ""},
      {"text after the envelope", false, Envelope("0", "p") + "x", false, "", ""},
      {"blank between tags", false, "<r> <n>x</n><g>0</g><c>p</c></r>", false, "", ""},
      {"reference in flag", false, Envelope("&amp;", "p"), false, "", ""},
      {"html in cdata", true, Imbody("t", "<![CDATA[<b>h</b>]]>"), true, "t", "<b>h</b>"},
      {"plain html", true, Imbody("t", "plain"), true, "t", "plain"},
      {"content holding the cdata end", true, Imbody("a]]>b", "<![CDATA[x]]>"), true, "a]]>b", "x"},
      {"content escapes stay as written", true, Imbody("a &amp; b", "h"), true, "a &amp; b", "h"},
      {"text around the element", true, "x" + Imbody("t", "h") + "y", true, "t", "h"},
      {"control character dropped", true,
       Imbody("a\x01"
              "b",
              "h"),
       true, "ab", "h"},
      {"empty html", true, Imbody("t", ""), false, "", ""},
      {"entity in plain html", true, Imbody("t", "a&amp;b"), false, "", ""},
      {"element in html", true, Imbody("t", "<b>h</b>"), false, "", ""},
      {"no html element", true, "<imbody><content><![CDATA[t]]></content></imbody>", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reading r = Scan(c.imbody, c.text);
    EXPECT_EQ(r.ok, c.accepted);
    EXPECT_EQ(r.first, c.accepted ? c.first : "untouched");
    EXPECT_EQ(r.second, c.accepted ? c.second : "untouched");
  }
}

// Every generated text the scan accepts reads exactly as the tree reads it.
TEST(BodyScan, AcceptedTextsReadAsTheTreeReadsThem) {
  for (bool imbody : {false, true}) {
    std::vector<std::string> seeds = ImbodySeeds();
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

}  // namespace
