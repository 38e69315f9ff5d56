#include "common/xml/BodyScan.h"

#include <cstdint>
#include <cstring>

#include "common/xml/XmlText.h"

namespace xml {
namespace {

constexpr char kImbodyOpen[] = "<imbody>";
constexpr char kImbodyClose[] = "</imbody>";
constexpr char kContentOpen[] = "<content><![CDATA[";
constexpr char kContentClose[] = "]]></content>";
constexpr char kHtmlOpen[] = "<html>";
constexpr char kHtmlClose[] = "</html></imbody>";
constexpr char kCdataOpen[] = "<![CDATA[";
constexpr char kCdataClose[] = "]]>";

constexpr size_t Length(const char* text) { return std::char_traits<char>::length(text); }

// True when text[at..] begins with `marker`; advances `at` past it.
bool Take(const std::string& text, size_t& at, const char* marker) {
  const size_t length = Length(marker);
  if (text.compare(at, length, marker) != 0) return false;
  at += length;
  return true;
}

// Length of the predefined entity at data[0] == '&' (&lt; &gt; &amp; &quot;
// &apos;) within `available` bytes, and its character; 0 for anything else.
size_t EntityAt(const char* data, size_t available, char* value) {
  const auto is = [data, available](const char* entity, size_t length) {
    return available >= length && std::memcmp(data, entity, length) == 0;
  };
  if (available < 2) return 0;
  switch (data[1]) {
    case 'l': *value = '<'; return is("&lt;", 4) ? 4 : 0;
    case 'g': *value = '>'; return is("&gt;", 4) ? 4 : 0;
    case 'q': *value = '"'; return is("&quot;", 6) ? 6 : 0;
    case 'a':
      if (is("&amp;", 5)) {
        *value = '&';
        return 5;
      }
      *value = '\'';
      return is("&apos;", 6) ? 6 : 0;
    default: return 0;
  }
}

// The bytes that end a plain run of element text: "&", "<" and the control
// characters.
struct SpecialBytes {
  bool of[256] = {};
  constexpr SpecialBytes() {
    for (int c = 0; c < 0x20; ++c) of[c] = c != '\t' && c != '\n' && c != '\r';
    of[static_cast<int>('&')] = true;
    of[static_cast<int>('<')] = true;
  }
};
constexpr SpecialBytes kSpecialBytes;

// Sets out to the element text text[begin, end) with the five predefined
// entities resolved. False at a "<", a control character or any other "&".
// Runs of eight plain bytes are copied at once.
bool Resolve(const std::string& text, size_t begin, size_t end, std::string& out) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  out.resize(end - begin);
  const char* read = text.data() + begin;
  const char* const stop = text.data() + end;
  char* write = &out[0];
  while (read < stop) {
    if (stop - read >= 8) {
      uint64_t word;
      std::memcpy(&word, read, sizeof word);
      const uint64_t amp = word ^ (kOnes * '&');
      const uint64_t open = word ^ (kOnes * '<');
      const uint64_t special = ((amp - kOnes) & ~amp) | ((open - kOnes) & ~open) |
                               ((word - kOnes * 0x20) & ~word);
      if ((special & kHighBits) == 0) {
        std::memcpy(write, &word, sizeof word);
        read += 8;
        write += 8;
        continue;
      }
    }
    // A run of up to eight bytes that holds one to look at: byte by byte.
    const char* const runEnd = stop - read >= 8 ? read + 8 : stop;
    while (read < runEnd) {
      const char c = *read;
      if (!kSpecialBytes.of[static_cast<unsigned char>(c)]) {
        *write++ = c;
        ++read;
        continue;
      }
      if (c == '&') {
        char value = 0;
        const size_t length = EntityAt(read, static_cast<size_t>(stop - read), &value);
        if (length == 0) return false;
        *write++ = value;
        read += length;
        continue;
      }
      if (c == '<' || IsControlChar(c)) return false;
      *write++ = c;
      ++read;
    }
  }
  out.resize(static_cast<size_t>(write - out.data()));
  return true;
}

// The end of the element text that starts at `at`: the next "<". Refused
// (npos) when the text holds a "&" or a control character, or no "<" follows.
size_t PlainTextEnd(const std::string& text, size_t at) {
  const size_t end = text.find('<', at);
  if (end == std::string::npos) return end;
  for (size_t i = at; i < end; ++i) {
    if (text[i] == '&' || IsControlChar(text[i])) return std::string::npos;
  }
  return end;
}

// Reads the html element's value from the text between "<html>" and
// "</html></imbody>": one non-empty CDATA section, or plain text.
bool ReadHtml(const std::string& text, size_t begin, size_t end, std::string* html) {
  const size_t cdataOpen = Length(kCdataOpen);
  const size_t cdataClose = Length(kCdataClose);
  if (text.compare(begin, cdataOpen, kCdataOpen) == 0) {
    if (end - begin <= cdataOpen + cdataClose) return false;
    const size_t close = text.find(kCdataClose, begin + cdataOpen);
    if (close != end - cdataClose) return false;
    html->assign(text, begin + cdataOpen, close - begin - cdataOpen);
    return true;
  }
  if (end == begin) return false;
  const char* data = text.data() + begin;
  if (std::memchr(data, '<', end - begin) != nullptr) return false;
  if (std::memchr(data, '&', end - begin) != nullptr) return false;
  html->assign(text, begin, end - begin);
  return true;
}

// ScanImbody on the <imbody> element itself, control characters removed.
bool ScanImbodyElement(const std::string& imbody, std::string* content, std::string* html) {
  size_t at = 0;
  if (!Take(imbody, at, kImbodyOpen)) return false;
  const TextSpan span = FindGreedySpan(imbody, kContentOpen, kContentClose);
  if (!span.found || span.begin != at) return false;
  at = span.end;
  if (!Take(imbody, at, kHtmlOpen)) return false;
  const size_t closeLength = Length(kHtmlClose);
  if (imbody.size() < at + closeLength ||
      imbody.compare(imbody.size() - closeLength, closeLength, kHtmlClose) != 0) {
    return false;
  }
  std::string htmlValue;
  if (!ReadHtml(imbody, at, imbody.size() - closeLength, &htmlValue)) return false;
  content->assign(imbody, span.innerBegin, span.innerEnd - span.innerBegin);
  html->swap(htmlValue);
  return true;
}

}  // namespace

bool ScanEnvelope(const std::string& xml, std::string* flag, std::string* payload) {
  size_t at = 0;
  if (!Take(xml, at, "<r><n>")) return false;
  const size_t idEnd = PlainTextEnd(xml, at);
  if (idEnd == std::string::npos) return false;
  at = idEnd;
  if (!Take(xml, at, "</n><g>")) return false;
  const size_t flagBegin = at;
  const size_t flagEnd = PlainTextEnd(xml, at);
  if (flagEnd == std::string::npos || flagEnd == flagBegin) return false;
  at = flagEnd;
  if (!Take(xml, at, "</g><c>")) return false;
  constexpr char kTail[] = "</c></r>";
  const size_t tailLength = Length(kTail);
  if (xml.size() < at + tailLength + 1 ||
      xml.compare(xml.size() - tailLength, tailLength, kTail) != 0) {
    return false;
  }
  std::string value;
  if (!Resolve(xml, at, xml.size() - tailLength, value)) return false;
  flag->assign(xml, flagBegin, flagEnd - flagBegin);
  payload->swap(value);
  return true;
}

bool ScanImbody(const std::string& payload, bool clean, std::string* content,
                std::string* html) {
  const TextSpan span = FindGreedySpan(payload, kImbodyOpen, kImbodyClose);
  if (!span.found) return false;
  if (span.begin == 0 && span.end == payload.size() &&
      (clean || FindControlChar(payload) == std::string::npos)) {
    return ScanImbodyElement(payload, content, html);
  }
  std::string imbody = payload.substr(span.begin, span.end - span.begin);
  RemoveControlCharsInPlace(imbody);
  return ScanImbodyElement(imbody, content, html);
}

}  // namespace xml
