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
  struct Name {
    const char* text;
    size_t length;
  };
  static constexpr Name kNames[] = {{"amp;", 4}, {"lt;", 3}, {"gt;", 3}, {"quot;", 5}, {"apos;", 5}};
  for (const Name& name : kNames) {
    if (text.compare(i, name.length, name.text) == 0) return 1 + name.length;
  }
  return 0;
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
  size_t i = 0;
  while (i < text.size()) {
    const size_t next = text.find_first_of("<&", i);
    if (next == std::string::npos) return true;
    if (text[next] == '&') {
      const size_t length = ReferenceLength(text, next);
      if (length == 0) return false;
      i = next + length;
      continue;
    }
    const char* end = SectionEnd(text, next);
    if (end == nullptr) {
      i = next + 1;
      continue;
    }
    const size_t endAt = text.find(end, next + 2);
    if (endAt == std::string::npos) return false;
    i = endAt + std::strlen(end);
  }
  return true;
}

}  // namespace

XmlDocument::XmlDocument() : doc_(new pugi::xml_document()) {}

XmlDocument::~XmlDocument() = default;

int XmlDocument::Parse(const std::string& text) {
  doc_->reset();
  lastError_.clear();
  if (!ReferencesWellFormed(text)) {
    lastError_ = "bare '&' or unknown entity";
    return kXmlParseFailed;
  }
  const pugi::xml_parse_result result =
      doc_->load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
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
