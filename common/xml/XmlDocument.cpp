#include "common/xml/XmlDocument.h"

#include <pugixml.hpp>

#include <cstring>

namespace xml {
namespace {

// CDATA, white-space-only text and entity resolution on; line ends kept.
constexpr unsigned int kParseOptions = pugi::parse_cdata | pugi::parse_escapes |
                                       pugi::parse_wconv_attribute | pugi::parse_ws_pcdata;

bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Length of the reference that starts at text[at] == '&', 0 when it is not
// one of the five predefined entities or a character reference.
size_t ReferenceLength(const std::string& text, size_t at) {
  size_t i = at + 1;
  if (i < text.size() && text[i] == '#') {
    ++i;
    const bool hex = i < text.size() && text[i] == 'x';
    if (hex) ++i;
    const size_t digitsBegin = i;
    while (i < text.size() &&
           (hex ? IsHexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9'))) {
      ++i;
    }
    if (i == digitsBegin || i >= text.size() || text[i] != ';') return 0;
    return i + 1 - at;
  }
  // The five predefined entities, told apart by their first letter.
  const auto has = [&text, i](const char* rest, size_t length) {
    if (text.size() - i < length) return false;
    for (size_t k = 0; k < length; ++k) {
      if (text[i + k] != rest[k]) return false;
    }
    return true;
  };
  if (i >= text.size()) return 0;
  switch (text[i]) {
    case 'a':
      if (has("amp;", 4)) return 5;
      return has("apos;", 5) ? 6 : 0;
    case 'l': return has("lt;", 3) ? 4 : 0;
    case 'g': return has("gt;", 3) ? 4 : 0;
    case 'q': return has("quot;", 5) ? 6 : 0;
    default: return 0;
  }
}

// Sections in which "&" is plain text: end marker of the section that starts
// at text[at], or nullptr.
const char* SectionEnd(const std::string& text, size_t at) {
  if (text.compare(at, 9, "<![CDATA[") == 0) return "]]>";
  if (text.compare(at, 4, "<!--") == 0) return "-->";
  if (text.compare(at, 2, "<?") == 0) return "?>";
  return nullptr;
}

// True when every "&" outside CDATA, comments and processing instructions
// starts a reference. The parser itself leaves such an "&" as text, which
// would hide a body that needs repair.
bool ReferencesWellFormed(const std::string& text) {
  // The next "&" and the next "<", each found with a fast byte search and
  // kept until the scan passes it.
  size_t nextAmp = text.find('&');
  size_t nextOpen = text.find('<');
  while (nextAmp != std::string::npos) {
    if (nextOpen < nextAmp) {
      const char* end = SectionEnd(text, nextOpen);
      size_t resume = nextOpen + 1;
      if (end != nullptr) {
        const size_t endAt = text.find(end, nextOpen + 2);
        if (endAt == std::string::npos) return false;
        resume = endAt + std::strlen(end);
      }
      nextOpen = text.find('<', resume);
      if (nextAmp < resume) nextAmp = text.find('&', resume);
      continue;
    }
    const size_t length = ReferenceLength(text, nextAmp);
    if (length == 0) return false;
    nextAmp = text.find('&', nextAmp + length);
  }
  return true;
}

}  // namespace

XmlDocument::XmlDocument() : doc_(new pugi::xml_document()) {}

XmlDocument::~XmlDocument() = default;

int XmlDocument::Parse(std::string text) {
  doc_->reset();
  lastError_.clear();
  buffer_.clear();
  if (!ReferencesWellFormed(text)) {
    lastError_ = "bare '&' or unknown entity";
    return kXmlParseFailed;
  }
  buffer_.swap(text);
  const pugi::xml_parse_result result = doc_->load_buffer_inplace(
      &buffer_[0], buffer_.size(), kParseOptions, pugi::encoding_utf8);
  if (!result) {
    lastError_ = std::string(result.description()) + " at offset " +
                 std::to_string(static_cast<long long>(result.offset));
    doc_->reset();
    return kXmlParseFailed;
  }
  if (!doc_->document_element()) {
    lastError_ = "no document element";
    doc_->reset();
    return kXmlParseFailed;
  }
  return kXmlOk;
}

int XmlDocument::GetNodeByUrl(const std::string& path, XmlNode* node) const {
  if (node == nullptr || path.empty()) return kXmlBadArgument;
  pugi::xml_node current = doc_->document_element();
  size_t begin = 0;
  bool first = true;
  while (current) {
    const size_t dot = path.find('.', begin);
    const std::string name =
        path.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin);
    if (!first) current = current.child(name.c_str());
    if (!current || name != current.name()) return kXmlNodeNotFound;
    first = false;
    if (dot == std::string::npos) {
      *node = XmlNode(current.internal_object());
      return kXmlOk;
    }
    begin = dot + 1;
  }
  return kXmlNodeNotFound;
}

int XmlDocument::GetNodeValue(const XmlNode& node, std::string* value) {
  if (node.empty() || value == nullptr) return kXmlBadArgument;
  const pugi::xml_node element(node.raw());
  bool hasText = false;
  std::string text;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      text += child.value();
      hasText = true;
    }
  }
  if (!hasText) return kXmlNoValue;
  value->swap(text);
  return kXmlOk;
}

}  // namespace xml
