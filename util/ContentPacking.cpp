#include <exception>

#include "log/AdapterLog.h"
#include "util/GzipLimited.h"
#include "util/Utils.h"

namespace util {
namespace {

constexpr int kDefaultLevel = -1;  // zlib's default compression level

// The packed form of text, or text itself when packing gives nothing.
// May throw what GzipCompress and the allocator throw.
std::string Pack(const std::string& text) {
  const std::string compressed = GzipCompress(text, kDefaultLevel);
  if (compressed.empty()) return text;
  std::string encoded = Base64Encode(compressed);
  return encoded.empty() ? text : encoded;
}

// The unpacked form of text, or text itself when it is not Base64 of
// compressed data. May throw what GzipDecompress and the allocator throw.
std::string Unpack(const std::string& text) {
  std::string decoded;
  if (!Base64Decode(text, &decoded) || decoded.empty()) return text;
  if (!IsCompressed(decoded)) return text;
  bool ended = false;
  std::string out = detail::GzipDecompressLimited(decoded, detail::kGzipSizeLimit, &ended);
  if (!ended) {
    IMLOG(kLogWar, "util::DecodeAndDecompress",
          "compressed stream is cut short, kept the " + std::to_string(out.size()) +
              " bytes it inflated to");
  }
  return out;
}

void LogKept(int level, const char* function, const std::string& text, const char* why) {
  IMLOG(level, function, "text kept as it is (" + std::to_string(text.size()) + " bytes): " + why);
}

}  // namespace

std::string CompressAndEncode(const std::string& text) {
  if (IsCompressed(text)) return text;
  try {
    return Pack(text);
  } catch (const std::exception& e) {
    LogKept(kLogErr, "util::CompressAndEncode", text, e.what());
    return text;
  }
}

std::string DecodeAndDecompress(const std::string& text) {
  std::string out;
  return TryDecodeAndDecompress(text, &out) ? out : text;
}

bool TryDecodeAndDecompress(const std::string& text, std::string* out) {
  try {
    *out = Unpack(text);
    return true;
  } catch (const std::exception& e) {
    IMLOG(kLogWar, "util::DecodeAndDecompress",
          "packed text does not inflate (" + std::to_string(text.size()) + " bytes): " + e.what());
    out->clear();
    return false;
  }
}

}  // namespace util
