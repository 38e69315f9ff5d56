#include <openssl/evp.h>

#include <algorithm>
#include <cstddef>
#include <utility>

#include "util/Utils.h"

namespace util {
namespace {

// Work in slices so that each library call stays far below INT_MAX bytes,
// whatever the size of the whole text.
constexpr size_t kEncodeSlice = 3 * 16384;  // whole 3-byte groups
constexpr size_t kDecodeSlice = 4 * 16384;  // whole 4-character groups

bool IsAlphabet(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// text without its blanks and line breaks (Base64 wrapped at 64 or 76
// columns, or with a trailing line end); copies only when there is one.
const std::string& WithoutBlanks(const std::string& text, std::string* stripped) {
  if (std::none_of(text.begin(), text.end(), IsBlank)) return text;
  stripped->reserve(text.size());
  for (char c : text) {
    if (!IsBlank(c)) *stripped += c;
  }
  return *stripped;
}

// Number of trailing '=' of a well-formed padded text, or -1 when the text is
// not a whole number of 4-character groups or holds anything outside the
// alphabet (the library itself would accept stray padding).
int PaddingOf(const std::string& text) {
  if (text.size() % 4 != 0) return -1;
  size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  const auto end = text.end() - static_cast<std::ptrdiff_t>(padding);
  const bool clean = std::all_of(text.begin(), end,
                                 [](char c) { return IsAlphabet(static_cast<unsigned char>(c)); });
  return clean ? static_cast<int>(padding) : -1;
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  const size_t length = (bytes.size() + 2) / 3 * 4;
  std::string text(length + 1, '\0');  // the library ends each slice with a NUL
  auto* out = reinterpret_cast<unsigned char*>(&text[0]);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t pos = 0; pos < bytes.size(); pos += kEncodeSlice) {
    const size_t n = std::min(kEncodeSlice, bytes.size() - pos);
    out += EVP_EncodeBlock(out, in + pos, static_cast<int>(n));
  }
  text.resize(length);
  return text;
}

bool Base64Decode(const std::string& wrapped, std::string* bytes) {
  std::string stripped;
  const std::string& text = WithoutBlanks(wrapped, &stripped);
  const int padding = PaddingOf(text);
  if (padding < 0 || bytes == nullptr) return false;
  std::string result(text.size() / 4 * 3, '\0');
  auto* out = reinterpret_cast<unsigned char*>(&result[0]);
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t pos = 0; pos < text.size(); pos += kDecodeSlice) {
    const size_t n = std::min(kDecodeSlice, text.size() - pos);
    const int written = EVP_DecodeBlock(out, in + pos, static_cast<int>(n));
    if (written < 0) return false;
    out += written;
  }
  // The library counts the padding as decoded zero bytes.
  result.resize(result.size() - static_cast<size_t>(padding));
  *bytes = std::move(result);
  return true;
}

}  // namespace util
