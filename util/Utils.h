// Small stateless helpers shared by the adapter: log masking, UUIDs, the
// gzip + Base64 packing of message content, file digests and UTF-8/UTF-16
// conversion. All may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace util {

// Hides the middle of a personal text (paths, names) for log lines:
// "" → "", 1..3 bytes → "***", 4 → "***" + last byte, 5..11 → the middle three
// bytes hidden, 12 or more → first 5 bytes, "*****", last 5 bytes.
std::string MaskForLog(const std::string& text);

// A version-4 UUID text of 36 lower-case characters, e.g.
// "3f2a9c1e-7b4d-4e2a-9c1f-0a1b2c3d4e5f".
std::string GenerateUuid();

// True when bytes start with a zlib header (0x78 then 0x9C, 0x01, 0xDA or
// 0x5E) or a gzip header (0x1F 0x8B); false for fewer than 3 bytes.
bool IsCompressed(const std::string& bytes);

// Gzip form of bytes at a zlib level (−1: zlib's default). Throws
// std::runtime_error with the failure text (input over 2,000,000,000 bytes,
// "deflate init failed").
std::string GzipCompress(const std::string& bytes, int level);

// Inflates a zlib or gzip stream. Throws std::runtime_error with the failure
// text (size limits, "inflate init failed", zlib's own message).
std::string GzipDecompress(const std::string& bytes);

// Base64 of the gzip form of text; the text itself when it is already
// compressed or when compressing gives nothing. Never throws.
std::string CompressAndEncode(const std::string& text);

// The text that CompressAndEncode packed; the input itself when it is not
// Base64 of compressed data. Never throws.
std::string DecodeAndDecompress(const std::string& text);

// Standard Base64 (RFC 4648, padded). Decode returns false for invalid input.
std::string Base64Encode(const std::string& bytes);
bool Base64Decode(const std::string& text, std::string* bytes);

// MD5 of a file's content as 32 lower-case hex digits; "" when the file
// cannot be opened or read.
std::string FileMd5Hex(const std::string& utf8Path);

// UTF-8 ↔ UTF-16 conversion. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace util
