// Plain-search readers for the two XML layers of a chat message body in the
// exact shape the body builder writes them. They let the body parser skip
// building an XML tree for the usual body, and give exactly what the tree
// lookups give for every text they accept. Any text outside that shape is
// refused (false, outputs untouched, nothing logged), and the caller then
// takes the general XML path, with its repairs and its log lines.
//
// Stateless; any thread. Time linear in the text.
#pragma once

#include <string>

namespace xml {

// Reads an envelope "<r><n>ID</n><g>FLAG</g><c>PAYLOAD</c></r>" that fills
// the whole of `xml`. Accepted only when `xml` holds no control character
// (bytes below 0x20 but tab, line feed and carriage return), ID and FLAG
// hold neither "<" nor "&", FLAG and PAYLOAD are not empty, and PAYLOAD
// holds no "<" and no "&" other than the five predefined entities (&lt; &gt;
// &amp; &quot; &apos;).
// Then *flag = FLAG and *payload = PAYLOAD with those entities resolved: the
// texts of "r.g" and "r.c" once `xml` is parsed.
bool ScanEnvelope(const std::string& xml, std::string* flag, std::string* payload);

// Reads the content and html of an <imbody> text the way the body parser
// does through string2Xml and the XML tree. `payload` is the decoded <c>
// payload; `clean` true promises that it holds no control character; its "<imbody>...</imbody>" span (control characters removed)
// must be "<imbody><content><![CDATA[" C "]]></content><html>" H
// "</html></imbody>", with C running to the last "]]></content>" and H either
// "<![CDATA[" h "]]>" with a non-empty h holding no "]]>", or a non-empty
// text holding neither "<" nor "&". Then *content = C and *html = h (or H).
bool ScanImbody(const std::string& payload, bool clean, std::string* content,
                std::string* html);

}  // namespace xml
