// The plain-search readers of the body layers must give exactly what the XML
// tree gives for every text they accept, and must refuse what the tree path
// treats differently. Each accepted text is checked against the tree; the
// generated texts are message bodies with tricky pieces put in everywhere.
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

// The text of the element at `path`, as the body parser reads it.
bool TreeValue(const xml::XmlDocument& doc, const char* path, std::string* value) {
  xml::XmlNode node;
  return doc.GetNodeByUrl(path, &node) == xml::kXmlOk &&
         xml::XmlDocument::GetNodeValue(node, value) == xml::kXmlOk;
}

// The envelope read through the tree: both values present.
bool TreeEnvelope(const std::string& text, std::string* flag, std::string* payload) {
  xml::XmlDocument doc;
  return doc.Parse(text) == xml::kXmlOk && TreeValue(doc, "r.g", flag) &&
         TreeValue(doc, "r.c", payload);
}

// Content and html read through string2Xml and the tree, as the body parser
// does when both are present.
bool TreeImbody(const std::string& payload, std::string* content, std::string* html) {
  xml::XmlDocument doc;
  if (doc.Parse(xml::string2Xml(payload)) != xml::kXmlOk) return false;
  if (!TreeValue(doc, "imbody.content", content) || !TreeValue(doc, "imbody.html", html)) {
    return false;
  }
  xml::ReplaceAll(*content, "]]&gt;", "]]>");
  xml::ReplaceAll(*content, "&amp;", "&");
  return true;
}

std::string Imbody(const std::string& content, const std::string& html) {
  return "<imbody><content><![CDATA[" + content + "]]></content><html>" + html +
         "</html></imbody>";
}

std::string Envelope(const std::string& flag, const std::string& payload) {
  return "<r><n>ABCDEFGHIJKL</n><g>" + flag + "</g><c>" + payload + "</c></r>";
}

// Pieces that change how a body reads, put into seed texts at many places.
const char* const kPieces[] = {
    "&",         "<",        ">",          "&lt;",    "&gt;",         "&amp;",   "&quot;",
    "&apos;",    "&#60;",    "&#x3c;",     "&ap",     "&amp",         "]]>",     "<![CDATA[",
    "\x01",      "\r",       "\t",         "</c>",    "</r>",         "<r>",     "<g>",
    "</html>",   "<html>",   "]]></content>", "<imbody>", "</imbody>", "&lt;![CDATA[",
    "]]&gt;",    "<b/>",     "<!-- x -->", "\xE2\x80\x94",
};

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

TEST(BodyScan, EnvelopeCases) {
  struct Case {
    const char* name;
    std::string text;
    bool accepted;
    std::string flag;
    std::string payload;
  };
  const Case cases[] = {
      {"built body", xml::Build("hi", "", 0, false), true, "0",
       "<imbody><content><![CDATA[hi]]></content><html></html></imbody>"},
      {"five entities", Envelope("1", "a&amp;b&lt;&gt;&quot;&apos;"), true, "1", "a&b<>\"'"},
      {"line ends and tabs kept", Envelope("0", "a\r\n\tb"), true, "0", "a\r\n\tb"},
      {"empty id", "<r><n></n><g>0</g><c>p</c></r>", true, "0", "p"},
      {"empty flag", Envelope("", "p"), false, "", ""},
      {"character reference", Envelope("0", "a&#60;"), false, "", ""},
      {"bare ampersand", Envelope("0", "a & b"), false, "", ""},
      {"control character", Envelope("0", "a\x01"), false, "", ""},
      {"text after the envelope", Envelope("0", "p") + "x", false, "", ""},
      {"blank between tags", "<r> <n>x</n><g>0</g><c>p</c></r>", false, "", ""},
      {"reference in flag", Envelope("&amp;", "p"), false, "", ""},
  };
  for (const Case& c : cases) {
    std::string flag = "untouched";
    std::string payload = "untouched";
    EXPECT_EQ(xml::ScanEnvelope(c.text, &flag, &payload), c.accepted) << c.name;
    EXPECT_EQ(flag, c.accepted ? c.flag : "untouched") << c.name;
    EXPECT_EQ(payload, c.accepted ? c.payload : "untouched") << c.name;
  }
}

TEST(BodyScan, AcceptedEnvelopesReadAsTheTreeReadsThem) {
  std::vector<std::string> seeds;
  for (const std::string& imbody : ImbodySeeds()) {
    seeds.push_back(Envelope("0", xml::XmlEscapeText(imbody)));
  }
  seeds.push_back(Envelope("1", "eJzLSM3JyVcozy/KSQEAGgQEXQ=="));
  size_t accepted = 0;
  for (const std::string& text : Variants(seeds)) {
    std::string flag;
    std::string payload;
    if (!xml::ScanEnvelope(text, &flag, &payload)) continue;
    ++accepted;
    std::string treeFlag;
    std::string treePayload;
    ASSERT_TRUE(TreeEnvelope(text, &treeFlag, &treePayload)) << text;
    EXPECT_EQ(flag, treeFlag) << text;
    EXPECT_EQ(payload, treePayload) << text;
  }
  EXPECT_GT(accepted, 100u);
}

TEST(BodyScan, ImbodyCases) {
  struct Case {
    const char* name;
    std::string payload;
    bool accepted;
    std::string content;
    std::string html;
  };
  const Case cases[] = {
      {"html in cdata", Imbody("t", "<![CDATA[<b>h</b>]]>"), true, "t", "<b>h</b>"},
      {"plain html", Imbody("t", "plain"), true, "t", "plain"},
      {"content holding the cdata end", Imbody("a]]>b", "<![CDATA[x]]>"), true, "a]]>b", "x"},
      {"content holding escapes stays as written", Imbody("a &amp; b", "h"), true, "a &amp; b",
       "h"},
      {"text around the element", "x" + Imbody("t", "h") + "y", true, "t", "h"},
      {"control character dropped", Imbody("a\x01" "b", "h"), true, "ab", "h"},
      {"empty html", Imbody("t", ""), false, "", ""},
      {"entity in plain html", Imbody("t", "a&amp;b"), false, "", ""},
      {"element in html", Imbody("t", "<b>h</b>"), false, "", ""},
      {"no html element", "<imbody><content><![CDATA[t]]></content></imbody>", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string content = "untouched";
    std::string html = "untouched";
    EXPECT_EQ(xml::ScanImbody(c.payload, false, &content, &html), c.accepted) << c.name;
    EXPECT_EQ(content, c.accepted ? c.content : "untouched") << c.name;
    EXPECT_EQ(html, c.accepted ? c.html : "untouched") << c.name;
  }
}

TEST(BodyScan, AcceptedImbodiesReadAsTheTreeReadsThem) {
  size_t accepted = 0;
  for (const std::string& payload : Variants(ImbodySeeds())) {
    const bool clean = xml::FindControlChar(payload) == std::string::npos;
    std::string content;
    std::string html;
    if (!xml::ScanImbody(payload, clean, &content, &html)) continue;
    ++accepted;
    std::string treeContent;
    std::string treeHtml;
    ASSERT_TRUE(TreeImbody(payload, &treeContent, &treeHtml)) << payload;
    EXPECT_EQ(content, treeContent) << payload;
    EXPECT_EQ(html, treeHtml) << payload;
  }
  EXPECT_GT(accepted, 100u);
}

}  // namespace
