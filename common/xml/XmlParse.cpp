#include "common/xml/XmlParse.h"

#include <exception>
#include <utility>

#include "common/xml/BodyScan.h"
#include "common/xml/EmojiPath.h"
#include "common/xml/XmlDocument.h"
#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "util/Utils.h"

namespace xml {
namespace {

constexpr char kEnvelopeOpen[] = "<r>";
constexpr char kEnvelopeClose[] = "</r>";
constexpr char kContentOpen[] = "<content><![CDATA[";
constexpr char kContentClose[] = "]]></content>";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// True when the whole body is one "<r>...</r>" envelope.
bool IsEnvelope(const std::string& body) {
  return body.size() >= 7 && StartsWith(body, kEnvelopeOpen) && EndsWith(body, kEnvelopeClose);
}

// Re-escapes the text between the first "<c>" and the first "</c>" after
// it, so that bare "&" and "<" become entities. False when there is no
// such pair.
bool RepairPayload(std::string& xml) {
  const size_t open = xml.find("<c>");
  const size_t close = open == std::string::npos ? std::string::npos : xml.find("</c>", open + 3);
  if (open == std::string::npos || close == std::string::npos) return false;
  const size_t innerBegin = open + 3;
  const std::string inner = xml.substr(innerBegin, close - innerBegin);
  xml = xml.substr(0, innerBegin) + XmlEscapeText(XmlUnescapeText(inner)) + xml.substr(close);
  return true;
}

// Parses the envelope, repairing its payload once when needed.
bool ParseEnvelope(XmlDocument& doc, std::string xml) {
  if (doc.Parse(xml) == kXmlOk) return true;
  IMLOG(kLogInf, "GetMessageContentC",
        "ZRP_XML_Parse xmlData failed, transliteration XmlData...");
  if (!RepairPayload(xml)) {
    IMLOG(kLogErr, "GetMessageContentC", "messageContent not exist <c></c>");
    return false;
  }
  if (doc.Parse(std::move(xml)) != kXmlOk) {
    IMLOG(kLogErr, "GetMessageContentC", "ZRP_XML_Parse xmlData failed!");
    return false;
  }
  return true;
}

// The envelope text of a body: from the first "<r>" to the last "</r>",
// control characters removed.
std::string EnvelopeText(const std::string& body) {
  const TextSpan span = FindGreedySpan(body, kEnvelopeOpen, kEnvelopeClose);
  if (!span.found) return "";
  std::string xml = body.substr(span.begin, span.end - span.begin);
  RemoveControlCharsInPlace(xml);
  return xml;
}

// The payload of <c> as its flag says: unpacked when the flag is "1". A
// packed payload whose stream is corrupt gives "" rather than the still
// encoded text, which no reader could use.
std::string DecodedPayload(const std::string& flag, const std::string& payload) {
  if (flag != "1") return payload;
  std::string unpacked;
  if (!util::TryDecodeAndDecompress(payload, &unpacked)) {
    IMLOG(kLogErr, "GetMessageContentC", "packed payload is damaged");
    return "";
  }
  return unpacked;
}

// The decoded payload of <c> (GetMessageContentC without its exception
// guard). *clean is set true when the payload is known to hold no control
// character: an envelope read by plain search that was not packed.
std::string ReadPayload(const std::string& body, bool* clean) {
  *clean = false;
  if (body.empty()) {
    IMLOG(kLogErr, "GetMessageContentC", "content is empty");
    return "";
  }
  std::string flag;
  std::string payload;
  // The usual envelope is read by plain search; anything else is parsed,
  // and repaired when needed. A body that starts with "<r>" and ends with
  // "</r>" is its own envelope text once it has no control character,
  // which the plain search checks.
  if (IsEnvelope(body) && ScanEnvelope(body, &flag, &payload)) {
    *clean = flag != "1";
    return DecodedPayload(flag, payload);
  }
  std::string xml = EnvelopeText(body);
  if (xml.empty()) {
    IMLOG(kLogErr, "GetMessageContentC", "contentXML is empty");
    return "";
  }
  if (ScanEnvelope(xml, &flag, &payload)) {
    *clean = flag != "1";
    return DecodedPayload(flag, payload);
  }
  XmlDocument doc;
  if (!ParseEnvelope(doc, std::move(xml))) return "";
  if (xmlGetNoteValueByNameT(&doc, "r.g", 0, 0, &flag) != 0) {
    // Without a flag the payload is taken as not encoded.
    IMLOG(kLogErr, "GetMessageContentC", "Get tagC(r.g) failed!");
  }
  if (xmlGetNoteValueByNameT(&doc, "r.c", 0, 0, &payload) != 0) {
    IMLOG(kLogErr, "GetMessageContentC", "Get tagC(r.c) failed!");
    return "";
  }
  return DecodedPayload(flag, payload);
}

// string2Xml of a decoded payload; "" (logged) when it fails.
std::string RepairedImbody(const std::string& payload) {
  try {
    return string2Xml(payload);
  } catch (const std::exception&) {
    IMLOG(kLogErr, "GetMessageContentCXML", "GetMessageContentCXML error");
    return "";
  }
}

// The body with the emoticon codes "/;>" and "/:<" escaped, since they would
// break the payload's XML. Copies only when there is one.
std::string EscapeEmoticonCodes(const std::string& body) {
  if (body.find("/;>") == std::string::npos && body.find("/:<") == std::string::npos) return "";
  std::string escaped = body;
  ReplaceAll(escaped, "/;>", "/;&gt;");
  ReplaceAll(escaped, "/:<", "/:&lt;");
  return escaped;
}

// The html as Parse hands it out: "&nbsp;" as blanks and, unless the paths
// are kept, emoji images pointing at the local emoji folder.
void SetHtml(std::string html, std::string& html_out, bool keep_html_paths) {
  ReplaceAll(html, "&nbsp;", " ");
  html_out = keep_html_paths ? std::move(html) : ConvertEmojiPathToLocal(html);
}

// Reads content and html from the <imbody> text through the XML tree.
void ParseImbodyXml(std::string xml, std::string& content_out, std::string& html_out,
                    bool keep_html_paths) {
  XmlDocument doc;
  const int parsed = doc.Parse(std::move(xml));
  if (parsed != kXmlOk) {
    IMLOG(kLogErr, "Parse",
          "ZRP_XML_Parse cXml(r.c) failed! uiRet is " + std::to_string(parsed) + " (" +
              doc.LastError() + ")");
  }
  std::string content;
  int ret = xmlGetNoteValueByNameT(&doc, "imbody.content", 0, 0, &content);
  if (ret != 0) {
    IMLOG(kLogErr, "Parse", "Get imbody.content failed! uiRet is" + std::to_string(ret));
    return;
  }
  ReplaceAll(content, "]]&gt;", "]]>");
  ReplaceAll(content, "&amp;", "&");
  content_out = std::move(content);
  std::string html;
  ret = xmlGetNoteValueByNameT(&doc, "imbody.html", 0, 0, &html);
  if (ret != 0) {
    IMLOG(kLogErr, "Parse", "Get imbody.html failed! uiRet is " + std::to_string(ret));
    return;
  }
  SetHtml(std::move(html), html_out, keep_html_paths);
}

// Steps of Parse after the envelope test; may throw (caught by Parse).
void ParseEnvelopeBody(const std::string& body, std::string& content_out, std::string& html_out,
                       bool keep_html_paths) {
  const std::string escaped = EscapeEmoticonCodes(body);
  bool clean = false;
  std::string payload;
  try {
    payload = ReadPayload(escaped.empty() ? body : escaped, &clean);
  } catch (const std::exception&) {
    IMLOG(kLogErr, "GetMessageContentC", "GetMessageContentC error");
    return;
  }
  // The usual <imbody> is read by plain search. Its content then comes out
  // as it stands: the re-escaping of string2Xml and the unescaping after
  // the tree lookup undo each other exactly.
  std::string content;
  std::string html;
  if (ScanImbody(payload, clean, &content, &html)) {
    content_out = std::move(content);
    SetHtml(std::move(html), html_out, keep_html_paths);
    return;
  }
  std::string xml = RepairedImbody(payload);
  if (xml.empty()) return;
  ParseImbodyXml(std::move(xml), content_out, html_out, keep_html_paths);
}

}  // namespace

void Parse(const std::string& body, std::string& content_out, std::string& html_out,
           bool keep_html_paths) {
  if (!IsEnvelope(body)) {
    content_out = body;
    html_out.clear();
    return;
  }
  content_out.clear();
  html_out.clear();
  try {
    ParseEnvelopeBody(body, content_out, html_out, keep_html_paths);
  } catch (const std::exception& e) {
    IMLOG(kLogErr, "Parse", std::string("Parse error: ") + e.what());
    content_out.clear();
    html_out.clear();
  }
}

std::string GetMessageContentCXML(const std::string& body) {
  return RepairedImbody(GetMessageContentC(body));
}

std::string GetMessageContentC(const std::string& body) {
  try {
    bool clean = false;
    return ReadPayload(body, &clean);
  } catch (const std::exception&) {
    IMLOG(kLogErr, "GetMessageContentC", "GetMessageContentC error");
    return "";
  }
}

std::string string2Xml(const std::string& text) {
  const TextSpan body = FindGreedySpan(text, "<imbody>", "</imbody>");
  if (!body.found) return text;
  std::string imbody = text.substr(body.begin, body.end - body.begin);
  RemoveControlCharsInPlace(imbody);
  const TextSpan content = FindGreedySpan(imbody, kContentOpen, kContentClose);
  if (!content.found) {
    IMLOG(kLogErr, "string2Xml",
          "<content><!\\[CDATA\\[([\\s\\S]*)\\]\\]><\\/content> can not find");
    return text;
  }
  std::string inner = imbody.substr(content.innerBegin, content.innerEnd - content.innerBegin);
  ReplaceAll(inner, "&", "&amp;");
  ReplaceAll(inner, "]]>", "]]&gt;");
  imbody.replace(content.begin, content.end - content.begin,
                 kContentOpen + inner + kContentClose);
  return imbody;
}

int xmlGetNoteValueByNameT(const XmlDocument* root, const char* path, int a, int b,
                           std::string* value_out) {
  static_cast<void>(a);
  static_cast<void>(b);
  if (root == nullptr || path == nullptr || value_out == nullptr) {
    IMLOG(kLogErr, "xmlGetNoteValueByNameT", "RootNote or pcUrl or ppcNoteValue is NULL");
    return 1;
  }
  XmlNode node;
  const int found = root->GetNodeByUrl(path, &node);
  if (found != kXmlOk) {
    IMLOG(kLogErr, "xmlGetNoteValueByNameT", "ZRP_XML_GetNodeByUrl failed");
    return found;
  }
  const int read = XmlDocument::GetNodeValue(node, value_out);
  if (read == kXmlNoValue) {
    IMLOG(kLogErr, "xmlGetNoteValueByNameT", "ppcNoteValue is null");
    return 1;
  }
  if (read != kXmlOk) {
    IMLOG(kLogErr, "xmlGetNoteValueByNameT", "ZRP_XML_GetNodeValue failed");
    return read;
  }
  return 0;
}

}  // namespace xml
