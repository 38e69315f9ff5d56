#include "host/src/DemoPicture.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace host {
namespace {

void AppendBigEndian(uint32_t value, std::string* out) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

// One PNG chunk: length, type, data and the CRC of type and data.
void AppendChunk(const char* type, const std::string& data, std::string* out) {
  AppendBigEndian(static_cast<uint32_t>(data.size()), out);
  const std::string body = std::string(type, 4) + data;
  *out += body;
  AppendBigEndian(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                              static_cast<uInt>(body.size()))),
                  out);
}

}  // namespace

std::string MakeGradientPng(int width, int height) {
  std::string raw;  // each row: filter byte 0, then RGB pixels
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      raw.push_back(static_cast<char>(255 * x / (width > 1 ? width - 1 : 1)));
      raw.push_back(static_cast<char>(255 * y / (height > 1 ? height - 1 : 1)));
      raw.push_back(static_cast<char>(160));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<Bytef> packed(packedSize);
  if (compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
               static_cast<uLong>(raw.size())) != Z_OK) {
    return std::string();
  }
  std::string header;
  AppendBigEndian(static_cast<uint32_t>(width), &header);
  AppendBigEndian(static_cast<uint32_t>(height), &header);
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk("IHDR", header, &png);
  AppendChunk("IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize), &png);
  AppendChunk("IEND", std::string(), &png);
  return png;
}

}  // namespace host
