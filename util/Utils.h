// Small stateless helpers shared by the adapter: log masking, UUIDs, the
// gzip + Base64 packing of message content, file digests and UTF-8/UTF-16
// conversion. All may be called from any thread at the same time; none keeps
// state between calls (GenerateUuid keeps one generator per thread).
#pragma once

#include <cstdint>
#include <string>

namespace util {

// Hides the middle of a personal text (paths, names) for log lines. Works on
// bytes, not characters: "" → "", 1..3 bytes → "***", 4 → "***" + last byte,
// 5..11 → the first (n − 3) / 2 bytes, "***", the rest (the three bytes in
// between hidden), 12 or more → first 5 bytes, "*****", last 5 bytes.
// Example: "abcdefg" → "ab***fg". Never fails.
std::string MaskForLog(const std::string& text);

// A version-4 UUID text of 36 lower-case characters, e.g.
// "3f2a9c1e-7b4d-4e2a-9c1f-0a1b2c3d4e5f": "4" at position 14, one of "89ab" at
// position 19. Digits come from a per-thread engine seeded once from the
// platform's random device (not suitable as a secret). Never fails.
std::string GenerateUuid();

// True when bytes start with a zlib header (0x78 then 0x9C, 0x01, 0xDA or
// 0x5E) or a gzip header (0x1F 0x8B); false for fewer than 3 bytes.
bool IsCompressed(const std::string& bytes);

// Gzip form of bytes at a zlib level (−1: zlib's default; 0..9).
// Throws std::runtime_error: "size may use more memory than intended when
// decompressing" for input over 2,000,000,000 bytes, "deflate init failed"
// (e.g. an invalid level), or zlib's message if deflate itself fails.
std::string GzipCompress(const std::string& bytes, int level);

// Inflates one zlib or gzip stream (the header is detected); bytes after the
// end of the stream are ignored. A stream cut short gives what it inflated to
// (empty input gives ""). Throws std::runtime_error: "inflate init failed";
// "size may use more memory than intended when decompressing" when the input
// (or twice it) is over 2,000,000,000 bytes; "size of output string will use
// more memory then intended when decompressing" when the output would pass
// that limit; zlib's own message for damaged data (e.g. "incorrect data
// check", "invalid stored block lengths").
std::string GzipDecompress(const std::string& bytes);

// Base64 of the gzip form of text (zlib default level); the text itself when
// it is already compressed (IsCompressed) or when packing fails (logged).
// Never throws.
std::string CompressAndEncode(const std::string& text);

// The text that CompressAndEncode packed; the input itself when it is not
// valid Base64, does not decode to compressed bytes, or does not inflate
// (logged). A stream cut short gives what it inflated to (logged). Never
// throws.
std::string DecodeAndDecompress(const std::string& text);

// DecodeAndDecompress that tells damaged data apart: false, with *out = "",
// when text is Base64 of compressed bytes that do not inflate (a corrupt
// stream, output over the size limit; logged). Otherwise true and *out is
// what DecodeAndDecompress gives. Never throws.
bool TryDecodeAndDecompress(const std::string& text, std::string* out);

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
std::string Base64Encode(const std::string& bytes);
// Decodes Base64 in whole 4-character groups of the alphabet, with at most
// two "=" at the very end. Blanks and line breaks (space, tab, CR, LF, FF,
// VT) anywhere are skipped, so that wrapped text decodes. Returns false,
// leaving *bytes untouched, for invalid text or a null bytes; "" decodes to "".
bool Base64Decode(const std::string& text, std::string* bytes);

// MD5 of a file's content as 32 lower-case hex digits, read in 65535-byte
// chunks; "" (logged, path masked) when the file cannot be opened or read
// (a missing file, a folder). The file is opened for reading only.
std::string FileMd5Hex(const std::string& utf8Path);

// UTF-8 ↔ UTF-16 conversion. Invalid input converts to an empty text (logged),
// never to a partial or altered one, so that a bad path fails cleanly instead
// of naming another file. Invalid UTF-8: bytes that cannot start or continue a
// sequence, overlong forms, surrogates written in UTF-8, code points above
// U+10FFFF, a sequence cut short. Invalid UTF-16: an unpaired surrogate.
// Embedded NULs and a byte order mark are ordinary characters.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace util
