#include "common/xml/EmojiPath.h"

#include <cstdint>
#include <cstring>

#include "common/xml/XmlText.h"

namespace xml {
namespace {

constexpr char kImgOpen[] = "<img ";
constexpr char kEmotionAddress[] = "file:///qx.internalimg//emotion/";
constexpr char kLocalFolderTail[] = "/static/emojis/";
constexpr char kLocalFolder[] = "./static/emojis/";
constexpr char kEmojiRole[] = "role=\"emoji\"";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when text at `at` holds `lowerNeedle` in any letter case.
bool MatchesNoCase(const std::string& text, size_t at, const char* lowerNeedle, size_t length) {
  if (at > text.size() || text.size() - at < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Lower(text[at + i]) != lowerNeedle[i]) return false;
  }
  return true;
}

// Position of the first case-insensitive `lowerNeedle` at or after `from`.
// A needle that starts with a non-letter jumps between its first bytes; one
// that starts with a letter skips eight bytes at a time while none of them
// is that letter in either case.
size_t FindNoCase(const std::string& text, const char* lowerNeedle, size_t from) {
  const size_t length = std::strlen(lowerNeedle);
  const char first = lowerNeedle[0];
  const bool letter = first >= 'a' && first <= 'z';
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  const uint64_t firstBytes = kOnes * static_cast<unsigned char>(first);
  for (size_t at = from; at + length <= text.size(); ++at) {
    if (!letter) {
      at = text.find(first, at);
      if (at == std::string::npos || at + length > text.size()) break;
    } else if (text.size() - at >= 8) {
      uint64_t word;
      std::memcpy(&word, text.data() + at, sizeof word);
      // Setting bit 5 folds an upper-case letter onto its lower case.
      const uint64_t diff = (word | kOnes * 0x20) ^ firstBytes;
      if (((diff - kOnes) & ~diff & kHighBits) == 0) {
        at += 7;
        continue;
      }
    }
    if (MatchesNoCase(text, at, lowerNeedle, length)) return at;
  }
  return std::string::npos;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

size_t SkipSpaces(const std::string& text, size_t at) {
  while (at < text.size() && IsSpace(text[at])) ++at;
  return at;
}

// True when the "role" at `at` reads role = "emoji" (blanks allowed around
// "=" and inside the quotes, any letter case).
bool IsEmojiRoleAt(const std::string& attrs, size_t at) {
  size_t i = SkipSpaces(attrs, at + 4);
  if (i >= attrs.size() || attrs[i] != '=') return false;
  i = SkipSpaces(attrs, i + 1);
  if (i >= attrs.size() || attrs[i] != '"') return false;
  i = SkipSpaces(attrs, i + 1);
  if (!MatchesNoCase(attrs, i, "emoji", 5)) return false;
  i = SkipSpaces(attrs, i + 5);
  return i < attrs.size() && attrs[i] == '"';
}

bool HasEmojiRole(const std::string& attrs) {
  for (size_t at = FindNoCase(attrs, "role", 0); at != std::string::npos;
       at = FindNoCase(attrs, "role", at + 1)) {
    if (IsEmojiRoleAt(attrs, at)) return true;
  }
  return false;
}

// A character other than a line end, then "/static/emojis/", in any case.
bool HasLocalFolder(const std::string& tag) {
  for (size_t at = FindNoCase(tag, kLocalFolderTail, 1); at != std::string::npos;
       at = FindNoCase(tag, kLocalFolderTail, at + 1)) {
    const char before = tag[at - 1];
    if (before != '\n' && before != '\r') return true;
  }
  return false;
}

// Replaces every case-insensitive internal emotion address by the local folder.
std::string LocaliseAddresses(const std::string& text) {
  const size_t length = std::strlen(kEmotionAddress);
  std::string out;
  out.reserve(text.size());
  size_t last = 0;
  for (size_t at = FindNoCase(text, kEmotionAddress, 0); at != std::string::npos;
       at = FindNoCase(text, kEmotionAddress, last)) {
    out.append(text, last, at - last);
    out += kLocalFolder;
    last = at + length;
  }
  out.append(text, last, std::string::npos);
  return out;
}

std::string RewriteTag(const std::string& tag, const std::string& attrs) {
  const bool emoji = FindNoCase(tag, kEmotionAddress, 0) != std::string::npos ||
                     HasLocalFolder(tag);
  if (!emoji) return tag;
  const std::string roleText = HasEmojiRole(attrs) ? attrs : kEmojiRole + attrs;
  return LocaliseAddresses(kImgOpen + roleText + ">");
}

}  // namespace

std::string ConvertEmojiPathToLocal(const std::string& html) {
  std::string out;
  out.reserve(html.size() + html.size() / 16);
  const size_t openLength = std::strlen(kImgOpen);
  size_t copied = 0;
  size_t at = FindNoCase(html, kImgOpen, 0);
  while (at != std::string::npos) {
    const size_t attrsBegin = at + openLength;
    const size_t stop = FindFirstOf(html, "<>", attrsBegin);
    if (stop == std::string::npos) break;
    if (html[stop] == '<') {
      // Not a tag: no "<img " can start inside the run, so resume at the "<".
      at = FindNoCase(html, kImgOpen, stop);
      continue;
    }
    out.append(html, copied, at - copied);
    // The opening "<img " keeps its letter case; only the rest is rebuilt.
    const std::string tag = html.substr(at, stop + 1 - at);
    const std::string rewritten = RewriteTag(tag, html.substr(attrsBegin, stop - attrsBegin));
    out += rewritten == tag ? tag : html.substr(at, openLength) + rewritten.substr(openLength);
    copied = stop + 1;
    at = FindNoCase(html, kImgOpen, copied);
  }
  out.append(html, copied, std::string::npos);
  return out;
}

}  // namespace xml
