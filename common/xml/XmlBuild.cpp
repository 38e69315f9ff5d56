#include "common/xml/XmlBuild.h"

#include <random>

#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Utils.h"

namespace xml {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890=-";
constexpr int kAlphabetSize = 64;
constexpr int kIdLength = 12;

// The <imbody> template around its two placeholders, content then html.
constexpr char kImbodyHead[] = "<imbody><content><![CDATA[";
constexpr char kImbodyMiddle[] = "]]></content><html>";
constexpr char kImbodyTail[] = "</html></imbody>";

// The <imbody> document with content and html in place of the placeholders.
// The pieces are joined by position, so a placeholder text inside content or
// html is never taken for the template's own. For flag 0 only the template's
// own markup is escaped (three entities); the inserted texts are not.
std::string BuildPayload(const std::string& content, const std::string& html, int32_t flag) {
  if (flag != 0) {
    return util::CompressAndEncode(kImbodyHead + content + kImbodyMiddle + html + kImbodyTail);
  }
  return TemplateEscapeText(kImbodyHead) + content + TemplateEscapeText(kImbodyMiddle) + html +
         TemplateEscapeText(kImbodyTail);
}

}  // namespace

std::string RandomString(int length) {
  std::string out;
  if (length <= 0) return out;
  const int64_t seconds = platform::NowUnixMillis() / 1000;
  std::minstd_rand0 generator(static_cast<std::minstd_rand0::result_type>(seconds));
  out.reserve(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) out += kAlphabet[generator() % kAlphabetSize];
  IMLOG(kLogDbg, "RandomString", "randomStr: " + out);
  return out;
}

std::string Build(const std::string& content, const std::string& html, int32_t flag, bool raw) {
  const std::string id = RandomString(kIdLength);
  std::string storedHtml = html;
  if (!raw && !storedHtml.empty()) storedHtml = XmlEscapeText("<![CDATA[" + storedHtml + "]]>");
  std::string result = "<r><n>" + id + "</n><g>" + std::to_string(flag) + "</g><c>" +
                       BuildPayload(content, storedHtml, flag) + "</c></r>";
  IMLOG(kLogDbg, "Build", "after build " + result);
  return result;
}

}  // namespace xml
