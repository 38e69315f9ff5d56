// Body parsing: any input must parse without a crash, and any message text
// built into a body (escaped and packed forms) must come out of Parse again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"

namespace {

void CheckRoundTrip(const std::string& text) {
  // Control characters other than tab and line ends are dropped by design.
  const std::string content = xml::RemoveControlChars(text);
  std::string outContent;
  std::string outHtml;
  xml::Parse(xml::Build(xml::XmlEscapeText(content), "<b>x</b>", 0, false), outContent, outHtml,
             true);
  if (outContent != content || outHtml != "<b>x</b>") std::abort();
  xml::Parse(xml::Build(content, "", 1, true), outContent, outHtml, true);
  if (outContent != content) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string content;
  std::string html;
  xml::Parse(input, content, html, false);
  xml::Parse("<r><n>x</n><g>0</g><c>" + input + "</c></r>", content, html, false);
  xml::Parse("<r><n>x</n><g>1</g><c>" + input + "</c></r>", content, html, true);
  xml::string2Xml(input);
  xml::GetMessageContentCXML(input);
  CheckRoundTrip(input);
  return 0;
}
