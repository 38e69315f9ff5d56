#include <codecvt>
#include <locale>

#include "log/AdapterLog.h"
#include "util/Utils.h"

// The standard converter is deprecated but remains the standard library's
// UTF-8/UTF-16 codec; this file is its only user.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif

namespace util {
namespace {

using Converter = std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>;

// A converter that returns an empty text instead of throwing on invalid input.
// Not shared between threads: each call makes its own.
Converter MakeConverter() { return Converter(std::string(), std::u16string()); }

// The converter accepts UTF-16 surrogates written as three UTF-8 bytes
// (ED A0..BF xx), which are not UTF-8. In valid UTF-8, 0xED only ever leads a
// sequence, so any 0xED followed by 0xA0 or more is such a surrogate.
bool HasEncodedSurrogate(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) == 0xED &&
        static_cast<unsigned char>(text[i + 1]) >= 0xA0) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
  if (text.empty()) return std::u16string();
  Converter converter = MakeConverter();
  std::u16string wide;
  if (!HasEncodedSurrogate(text)) wide = converter.from_bytes(text);
  // The converter silently stops at a sequence cut short at the end; it has
  // then consumed fewer bytes than given.
  if (wide.empty() || converter.converted() != text.size()) {
    IMLOG(kLogWar, "util::Utf8ToUtf16",
          "invalid UTF-8 text of " + std::to_string(text.size()) + " bytes, converted to nothing");
    return std::u16string();
  }
  return wide;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  if (text.empty()) return std::string();
  Converter converter = MakeConverter();
  std::string narrow = converter.to_bytes(text);
  // A high surrogate alone at the end is dropped silently, leaving units unconsumed.
  if (narrow.empty() || converter.converted() != text.size()) {
    IMLOG(kLogWar, "util::Utf16ToUtf8",
          "invalid UTF-16 text of " + std::to_string(text.size()) + " units, converted to nothing");
    return std::string();
  }
  return narrow;
}

}  // namespace util

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
