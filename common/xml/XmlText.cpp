#include "common/xml/XmlText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>


namespace xml {
namespace {

// The em dash of the GBK code page, and what the HTML escape makes of it.
constexpr char kGbkEmDash[] = "\xA1\xAA";
constexpr char kEmDashEntity[] = "&mdash;";

// Escapes through `map`, which gives the entity of a byte or nullptr to keep
// it; `special` lists the bytes that map replaces, so that runs of other
// bytes are copied at once. One pass gives the same text as the ordered
// replacements because no entity holds a byte that a later step replaces.
template <typename Map>
std::string EscapeBytes(const std::string& text, const char* special, Map map) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  const ByteSet specials(special);
  size_t copied = 0;
  for (size_t at = specials.FindIn(text); at != std::string::npos;
       at = specials.FindIn(text, copied)) {
    out.append(text, copied, at - copied);
    out += map(text[at]);
    copied = at + 1;
  }
  out.append(text, copied, std::string::npos);
  return out;
}

const char* XmlEntityOf(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    default: return nullptr;
  }
}

const char* TemplateEntityOf(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    default: return nullptr;
  }
}

const char* HtmlEntityOf(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '`': return "&#x60;";
    case '"': return "&quot;";
    case '\'': return "&#x27;";
    case '/': return "&#x2f;";
    default: return nullptr;
  }
}

struct Entity {
  const char* text;
  size_t length;
  char value;
};

constexpr Entity kXmlEntities[] = {
    {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}, {"&amp;", 5, '&'},
};

// Position of the first `needle` (not empty) at or after `from`, or npos:
// a byte search for its first byte, then an inline compare of the rest.
size_t FindText(const std::string& text, const std::string& needle, size_t from) {
  const size_t length = needle.size();
  const char* data = text.data();
  while (from < text.size() && text.size() - from >= length) {
    const void* hit = std::memchr(data + from, needle[0], text.size() - from - length + 1);
    if (hit == nullptr) return std::string::npos;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - data);
    size_t k = 1;
    while (k < length && data[at + k] == needle[k]) ++k;
    if (k == length) return at;
    from = at + 1;
  }
  return std::string::npos;
}

}  // namespace

size_t ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return 0;
  size_t pos = FindText(text, from, 0);
  if (pos == std::string::npos) return 0;
  std::string out;
  out.reserve(text.size());
  size_t last = 0;
  size_t count = 0;
  for (; pos != std::string::npos; pos = FindText(text, from, last)) {
    out.append(text, last, pos - last);
    out += to;
    last = pos + from.size();
    ++count;
  }
  out.append(text, last, std::string::npos);
  text.swap(out);
  return count;
}

std::string XmlEscapeText(const std::string& text) {
  return EscapeBytes(text, "&<>\"'", XmlEntityOf);
}

std::string XmlUnescapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t copied = 0;
  for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1)) {
    for (const Entity& e : kXmlEntities) {
      if (text.compare(at, e.length, e.text) != 0) continue;
      out.append(text, copied, at - copied);
      out += e.value;
      copied = at + e.length;
      at = copied - 1;
      break;
    }
  }
  out.append(text, copied, std::string::npos);
  return out;
}

std::string TemplateEscapeText(const std::string& text) {
  return EscapeBytes(text, "&<>", TemplateEntityOf);
}

namespace {

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// Length of the valid UTF-8 sequence at text[at] (a byte of 0x80 or more),
// or 0: no overlong forms, no surrogates, nothing above U+10FFFF.
size_t Utf8SequenceAt(const std::string& text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const size_t left = text.size() - at;
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80;  // allowed range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || left < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (!IsContinuation(byte(k))) return 0;
  }
  return length;
}

// Length of the character that starts at text[at]: a valid UTF-8 sequence;
// else a GBK double-byte character (lead 0x81..0xFE, second byte 0x80..0xFE;
// a second byte below 0x80 is taken as a character of its own, so that ASCII
// is escaped wherever it stands); else one byte.
size_t CharacterLengthAt(const std::string& text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  const size_t utf8 = Utf8SequenceAt(text, at);
  if (utf8 != 0) return utf8;
  if (lead >= 0x81 && lead <= 0xFE && at + 1 < text.size()) {
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    if (trail >= 0x80 && trail <= 0xFE) return 2;
  }
  return 1;
}

}  // namespace

// The em dash is matched as the GBK byte pair 0xA1 0xAA, and only where a
// character starts. That pair never starts a character of valid UTF-8 (0xA1
// only continues one, as in U+786A, E7 A1 AA), so UTF-8 text, em dashes
// included, passes unchanged: an "&mdash;" would not be an XML entity, and
// the stored body of a merged card holding one would not be well-formed.
std::string HtmlEscapeText(const std::string& text) {
  const char* const specials = "&<>`\"'/";
  if (text.find(kGbkEmDash) == std::string::npos) return EscapeBytes(text, specials, HtmlEntityOf);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLengthAt(text, at);
    const char* entity = HtmlEntityOf(text[at]);
    if (length == 2 && text.compare(at, 2, kGbkEmDash) == 0) {
      out += kEmDashEntity;
    } else if (length == 1 && entity != nullptr) {
      out += entity;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

std::string RemoveControlChars(const std::string& text) {
  std::string out = text;
  RemoveControlCharsInPlace(out);
  return out;
}

bool IsControlChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
}

size_t FindControlChar(const std::string& text) {
  // Most texts hold no byte below 0x20 but line ends; skip eight bytes at a
  // time while none of them is below 0x20.
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, sizeof word);
    if (((word - kOnes * 0x20) & ~word & kHighBits) != 0) break;
  }
  for (; at < text.size(); ++at) {
    if (IsControlChar(text[at])) return at;
  }
  return std::string::npos;
}

void RemoveControlCharsInPlace(std::string& text) {
  const size_t first = FindControlChar(text);
  if (first == std::string::npos) return;
  const auto begin = text.begin() + static_cast<std::ptrdiff_t>(first);
  text.erase(std::remove_if(begin, text.end(), IsControlChar), text.end());
}

ByteSet::ByteSet(const char* set) {
  for (const char* c = set; *c != '\0'; ++c) table_[static_cast<unsigned char>(*c)] = true;
}

size_t ByteSet::FindIn(const std::string& text, size_t from) const {
  const char* data = text.data();
  for (size_t at = from; at < text.size(); ++at) {
    if (Contains(data[at])) return at;
  }
  return std::string::npos;
}

size_t FindFirstOf(const std::string& text, const char* set, size_t from) {
  return ByteSet(set).FindIn(text, from);
}

namespace {

// Position of the last `needle` that starts at or after `minimum`, or npos.
// Walks back eight bytes at a time while none of them is the needle's last
// byte, and compares whole needles only where it is.
size_t FindLast(const std::string& text, const std::string& needle, size_t minimum) {
  const size_t length = needle.size();
  if (length == 0 || text.size() < length || text.size() - length < minimum) {
    return std::string::npos;
  }
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  const uint64_t lastBytes = kOnes * static_cast<unsigned char>(needle[length - 1]);
  const char* data = text.data();
  const size_t lowest = minimum + length - 1;  // lowest place of the needle's last byte
  size_t end = text.size();                    // bytes below `end` are still to be looked at
  while (end > lowest) {
    if (end - lowest >= 8) {
      uint64_t word;
      std::memcpy(&word, data + end - 8, sizeof word);
      const uint64_t diff = word ^ lastBytes;
      if (((diff - kOnes) & ~diff & kHighBits) == 0) {
        end -= 8;
        continue;
      }
    }
    --end;
    if (data[end] == needle[length - 1] &&
        std::memcmp(data + end + 1 - length, needle.data(), length) == 0) {
      return end + 1 - length;
    }
  }
  return std::string::npos;
}

}  // namespace

TextSpan FindGreedySpan(const std::string& text, const std::string& open,
                        const std::string& close) {
  TextSpan span;
  const size_t begin = text.find(open);
  if (begin == std::string::npos) return span;
  const size_t innerBegin = begin + open.size();
  const size_t closeAt = FindLast(text, close, innerBegin);
  if (closeAt == std::string::npos) return span;
  span.found = true;
  span.begin = begin;
  span.innerBegin = innerBegin;
  span.innerEnd = closeAt;
  span.end = closeAt + close.size();
  return span;
}

std::string UnescapeFiveEntities(std::string text) {
  ReplaceAll(text, "&amp;", "&");
  ReplaceAll(text, "&lt;", "<");
  ReplaceAll(text, "&gt;", ">");
  ReplaceAll(text, "&apos;", "'");
  ReplaceAll(text, "&quot;", "\"");
  return text;
}

}  // namespace xml
