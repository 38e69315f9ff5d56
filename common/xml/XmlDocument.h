// A parsed XML document and the three calls the message body code needs:
// parse a UTF-8 text, find an element by a dotted path from the document
// element ("r.c", "imbody.content"), and read an element's text.
//
// The parser is strict about what makes a body unusable: a text that is not
// well-formed (unbalanced tags, a bare "<", a "&" that starts no entity or
// character reference) fails, so that callers can repair and retry. Line ends
// are kept as they are and white-space-only text is kept.
//
// An XmlDocument owns its tree; XmlNode handles point into it and are valid
// until the document is parsed again or destroyed. One document must not be
// used from two threads at once; separate documents are independent.
#pragma once

#include <memory>
#include <string>

namespace pugi {
struct xml_node_struct;
class xml_document;
}  // namespace pugi

namespace xml {

// Result codes of the XML calls; 0 is success.
enum XmlResult {
  kXmlOk = 0,
  kXmlBadArgument = 1,
  kXmlParseFailed = 2,
  kXmlNodeNotFound = 3,
  kXmlNoValue = 4,
};

// A handle to one element of an XmlDocument; empty when default-constructed.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(pugi::xml_node_struct* raw) : raw_(raw) {}
  bool empty() const { return raw_ == nullptr; }
  pugi::xml_node_struct* raw() const { return raw_; }

 private:
  pugi::xml_node_struct* raw_ = nullptr;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses `text` (UTF-8; the document keeps it as the tree's storage, so
  // pass an rvalue to save a copy) and replaces any tree held before. kXmlOk, or
  // kXmlParseFailed when the text is not well-formed or has no document
  // element (the tree is then empty). Never throws for bad input.
  int Parse(std::string text);

  // Finds the element for `path`, element names separated by "." with the
  // first name being the document element's; the first child of each name is
  // taken. kXmlOk and *node set, kXmlBadArgument for a null node or empty
  // path, kXmlNodeNotFound otherwise.
  int GetNodeByUrl(const std::string& path, XmlNode* node) const;

  // The node's own text: its character data and CDATA children joined in
  // order, entities resolved. kXmlOk and *value set; kXmlBadArgument for an
  // empty node or null value; kXmlNoValue when the node has no text child
  // (an empty element), *value then untouched.
  static int GetNodeValue(const XmlNode& node, std::string* value);

  // The message of the last failed Parse, for log lines ("" after success).
  const std::string& LastError() const { return lastError_; }

 private:
  std::unique_ptr<pugi::xml_document> doc_;
  std::string buffer_;  // the parsed text; the tree points into it
  std::string lastError_;
};

}  // namespace xml
