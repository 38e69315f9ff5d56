// Large bodies and long runs inside the patterns the content code searches:
// each must be handled in one pass, without deep recursion or a crash. These
// tests check results only; speed is measured by the content benchmark.
#include <gtest/gtest.h>

#include <string>

#include "adapter/src/ImAdapterMediaToken.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"

namespace {

constexpr size_t kTenMegabytes = 10u << 20;
constexpr size_t kOneMegabyte = 1u << 20;

std::string Repeat(const std::string& piece, size_t totalBytes) {
  std::string out;
  out.reserve(totalBytes + piece.size());
  while (out.size() < totalBytes) out += piece;
  return out;
}

TEST(LargeInput, TenMegabyteBodiesRoundTrip) {
  const std::string content = Repeat("text & <markup> ]]> \xE4\xBD\xA0 ", kTenMegabytes);
  const std::string html = "<p>" + Repeat("<img src=\"./static/emojis/1.png\">x", kOneMegabyte) +
                           "</p>";
  for (int flag : {0, 1}) {
    const std::string body = flag == 0 ? xml::Build(xml::XmlEscapeText(content), html, 0, false)
                                       : xml::Build(content, "<![CDATA[" + html + "]]>", 1, true);
    std::string outContent;
    std::string outHtml;
    xml::Parse(body, outContent, outHtml, true);
    EXPECT_TRUE(outContent == content) << "flag " << flag << " size " << outContent.size();
    EXPECT_TRUE(outHtml == html) << "flag " << flag << " size " << outHtml.size();
  }
}

TEST(LargeInput, PlainAndBrokenBodies) {
  const std::string plain = Repeat("<r>abc", kTenMegabytes);
  std::string content;
  std::string html;
  xml::Parse(plain, content, html, false);
  EXPECT_TRUE(content == plain);
  // Not well-formed even after the repair: a run of unclosed elements.
  const std::string nested = "<r><g>0</g><c>" + Repeat("<a>", kOneMegabyte) + "</c></r>";
  xml::Parse(nested, content, html, false);
  EXPECT_EQ(content, "");
  EXPECT_EQ(xml::GetMessageContentC("<r><g>0</g><c>" + Repeat("&", kOneMegabyte) + "</c></r>")
                .size(),
            kOneMegabyte);
}

TEST(LargeInput, OneMegabyteRunsInsidePatterns) {
  const std::string run = Repeat("x", kOneMegabyte);
  // Envelope, imbody and content CDATA opened but never closed.
  EXPECT_EQ(xml::GetMessageContentCXML("<r>" + run), "");
  const std::string openImbody = "<imbody>" + run;
  EXPECT_EQ(xml::string2Xml(openImbody), openImbody);
  const std::string openCdata = "<imbody><content><![CDATA[" + run + "</imbody>";
  EXPECT_EQ(xml::string2Xml(openCdata), openCdata);
  const std::string manyOpens = Repeat("<content><![CDATA[", kOneMegabyte);
  EXPECT_EQ(xml::string2Xml("<imbody>" + manyOpens + "</imbody>"), "<imbody>" + manyOpens +
                                                                     "</imbody>");

  // Image tags: one long unclosed tag, a long attribute run, many tag starts.
  const std::string longTag = "<img " + run;
  EXPECT_EQ(ConvertEmojiPathToLocal(longTag), longTag);
  const std::string roles = "<img " + Repeat("role = \"  emoj ", kOneMegabyte) +
                            "src=\"./static/emojis/1.png\">";
  EXPECT_EQ(ConvertEmojiPathToLocal(roles).size(), roles.size() + 12);
  const std::string starts = Repeat("<img <img ", kOneMegabyte);
  EXPECT_EQ(ConvertEmojiPathToLocal(starts), starts);
  const std::string spaces = "<img role" + Repeat(" ", kOneMegabyte) + "=\"emoji\" src=\"" +
                             Repeat("/static/emojis/", kOneMegabyte) + "\">";
  EXPECT_EQ(ConvertEmojiPathToLocal(spaces), spaces);

  // Media tokens: unclosed starts, and a long address.
  std::string unclosed = Repeat("/:um_begin{https://", kOneMegabyte);
  const std::string unclosedCopy = unclosed;
  EXPECT_TRUE(ReplaceContentPic(unclosed, "T"));
  EXPECT_TRUE(unclosed == unclosedCopy);
  std::string broken = Repeat("/:um_begin{https://\n", kOneMegabyte) + "}/:um_end";
  const std::string brokenCopy = broken;
  EXPECT_TRUE(ReplaceContentPic(broken, "T"));
  EXPECT_TRUE(broken == brokenCopy);
  std::string longAddress = "/:um_begin{https://" + run + "}/:um_end";
  EXPECT_TRUE(ReplaceContentPic(longAddress, "T"));
  EXPECT_EQ(longAddress, "T");
  EXPECT_EQ(ExtractMediaUrl("/:um_begin{" + run), run);
}

}  // namespace
