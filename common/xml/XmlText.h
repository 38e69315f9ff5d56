// Text helpers of the message content XML: the escape tables, plain
// replace-all, control-character removal and the greedy "open ... close" span
// search that the body parser uses in place of regular expressions.
//
// Everything here works on byte strings holding UTF-8, runs in time linear in
// the text, allocates only its results, never throws for bad input (only
// std::bad_alloc can leave) and may be called from any thread.
#pragma once

#include <cstddef>
#include <string>

namespace xml {

// Replaces every occurrence of `from` in text, scanning left to right and
// resuming after the inserted text. An empty `from` leaves text unchanged.
// Returns the number of replacements.
size_t ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// The five-entity XML escape: & < > " ' become &amp; &lt; &gt; &quot; &apos;.
std::string XmlEscapeText(const std::string& text);

// The five-entity XML unescape: &lt; &gt; &quot; &apos; become < > " ', then
// &amp; becomes & (last, so "&amp;lt;" gives "&lt;").
std::string XmlUnescapeText(const std::string& text);

// Turns "&amp;", "&lt;", "&gt;", "&apos;" and "&quot;" back into their
// characters, in this order, each as a replace-all ("&amp;lt;" thus becomes "<").
std::string UnescapeFiveEntities(std::string text);

// The three-entity escape of the body template: & < > only.
std::string TemplateEscapeText(const std::string& text);

// The HTML escape of card texts: & < > ` " ' and / become &amp; &lt; &gt;
// &#x60; &quot; &#x27; &#x2f;, and the GBK em dash (bytes 0xA1 0xAA where a
// character starts) becomes "&mdash;". Valid UTF-8 other than those ASCII
// bytes, the UTF-8 em dash included, is kept as it is.
std::string HtmlEscapeText(const std::string& text);

// Deletes every byte 0x00..0x1F except tab, line feed and carriage return.
std::string RemoveControlChars(const std::string& text);
void RemoveControlCharsInPlace(std::string& text);
// True for the bytes RemoveControlChars deletes: below 0x20 except tab, line
// feed and carriage return.
bool IsControlChar(char c);
// Position of the first byte that RemoveControlChars deletes, or npos.
size_t FindControlChar(const std::string& text);

// A set of bytes for scanning: one table lookup per byte of text. Build it
// once per scan, not per call, when a scan stops often.
class ByteSet {
 public:
  // `set` is a NUL-terminated list of the member bytes.
  explicit ByteSet(const char* set);
  bool Contains(char c) const { return table_[static_cast<unsigned char>(c)]; }
  // Position of the first member byte at or after `from`, or npos.
  size_t FindIn(const std::string& text, size_t from = 0) const;

 private:
  bool table_[256] = {};
};

// ByteSet(set).FindIn(text, from), for scans that stop rarely.
size_t FindFirstOf(const std::string& text, const char* set, size_t from = 0);

// A matched span: [begin, end) of the whole match; [innerBegin, innerEnd) of
// the text between the opening and the closing marker.
struct TextSpan {
  bool found = false;
  size_t begin = 0;
  size_t end = 0;
  size_t innerBegin = 0;
  size_t innerEnd = 0;
};

// The leftmost greedy match of open, any text, close: from the first `open`
// to the last `close` that starts after it. Not found when either is missing.
TextSpan FindGreedySpan(const std::string& text, const std::string& open,
                        const std::string& close);

}  // namespace xml
