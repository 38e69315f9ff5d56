// Taking chat message bodies apart (the reverse of XmlBuild), with the repairs
// that stored bodies need: a <c> payload that is not well-formed is
// re-escaped, control characters are dropped, and the CDATA of the content is
// re-escaped so that a text holding "&" or "]]>" survives.
//
// No function here throws to its caller or crashes for any input: failures
// are logged and give empty results. Time and memory are linear in the body,
// without recursion, so multi-megabyte bodies are safe. Stateless; any thread.
#pragma once

#include <string>

namespace xml {

class XmlDocument;

// Splits a body into its message text and its HTML form.
// A body that is not "<r>...</r>" as a whole is plain text: content_out =
// body, html_out = "". Otherwise content_out is the <imbody> content and
// html_out its html; both are "" when the payload cannot be read, and
// html_out alone is "" when the document has no html text. With
// keep_html_paths false the html's emoji image paths are rewritten to the
// local emoji folder (ConvertEmojiPathToLocal).
void Parse(const std::string& body, std::string& content_out, std::string& html_out,
           bool keep_html_paths);

// The repaired <imbody> XML text of a body: string2Xml(GetMessageContentC()).
// "" when the body has no readable payload.
std::string GetMessageContentCXML(const std::string& body);

// The decoded payload of <c>: the text of "r.c", Base64-decoded and
// decompressed when "r.g" is exactly "1" (a stream cut short gives what it
// inflated to). "" when the body is empty, has no "<r>...</r>" part, cannot
// be parsed even after re-escaping <c>, or its packed payload is corrupt.
std::string GetMessageContentC(const std::string& body);

// Repairs the content CDATA of an <imbody> text: returns the <imbody> element
// (control characters removed) with the text between "<content><![CDATA[" and
// the last "]]></content>" re-escaped ("&" to "&amp;", then "]]>" to
// "]]&gt;"). Returns text unchanged when it has no <imbody> element or no
// such content.
std::string string2Xml(const std::string& text);

// Reads the text of the node at the dotted `path` of a parsed document into
// *value_out. a and b are unused (always 0). Returns 0 on success; 1 for a
// null root, path or value_out, or a node without text; the lookup's own
// code when the node does not exist. Each failure is logged.
int xmlGetNoteValueByNameT(const XmlDocument* root, const char* path, int a, int b,
                           std::string* value_out);

}  // namespace xml
