#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"
#include "util/GzipLimited.h"
#include "util/Utils.h"

namespace {

// size pseudo-random bytes, each one of the `range` values from `first` on.
std::string RandomBytes(size_t size, unsigned seed, int range = 256, char first = 0) {
  std::mt19937 engine(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(first + engine() % range);
  return bytes;
}

// Letters a to p: compresses a little, but not to nothing.
std::string Letters(size_t size, unsigned seed) { return RandomBytes(size, seed, 16, 'a'); }

std::string Gzip(const std::string& bytes) { return util::GzipCompress(bytes, -1); }

// A zlib-wrapped (not gzip) stream of bytes, made by zlib's own one-shot call.
std::string ZlibStream(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()),
           static_cast<uLong>(bytes.size()));
  return out.substr(0, size);
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

// ---- Base64 ------------------------------------------------------------------

TEST(Base64, PublishedVectorsBothWays) {
  // The encodings of "", "f", "fo", ... "foobar".
  const char* const encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (size_t n = 0; n < 7; ++n) {
    const std::string bytes = std::string("foobar").substr(0, n);
    EXPECT_EQ(util::Base64Encode(bytes), encoded[n]);
    std::string decoded = "stale";
    ASSERT_TRUE(util::Base64Decode(encoded[n], &decoded)) << encoded[n];
    EXPECT_EQ(decoded, bytes);
  }
  // Binary around the group edges and beyond one internal slice.
  for (size_t size : {4u, 5u, 49151u, 49152u, 49153u}) {
    const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    std::string back;
    ASSERT_TRUE(util::Base64Decode(util::Base64Encode(bytes), &back)) << size;
    EXPECT_EQ(back, bytes) << size;
  }
}

TEST(Base64, RejectsInvalidTextAndLeavesOutputAlone) {
  // clang-format off
  const std::string invalid[] = {
      "Zg", "Zg=", "Zm9vY", "Zm9v\nYmE", "Zm=v", "====", "Z===", "Zg==Zg==", "Zm9*", " Zm9",
      std::string("Zm\0v", 4), "Zm9v\xC3\xA9"};
  // clang-format on
  for (const std::string& text : invalid) {
    std::string bytes = "untouched";
    EXPECT_FALSE(util::Base64Decode(text, &bytes)) << "\"" << text << "\"";
    EXPECT_EQ(bytes, "untouched");
  }
  EXPECT_FALSE(util::Base64Decode("Zm9v", nullptr));
}

TEST(Base64, WrappedTextDecodes) {
  const std::string bytes = RandomBytes(300, 3);
  const std::string flat = util::Base64Encode(bytes);
  std::string wrapped;  // 76 columns, CR LF, a blank and a tab here and there
  for (size_t at = 0; at < flat.size(); at += 76) wrapped += flat.substr(at, 76) + "\r\n";
  wrapped.insert(10, " ");
  wrapped.insert(20, "\t");
  std::string back;
  ASSERT_TRUE(util::Base64Decode(wrapped, &back));
  EXPECT_EQ(back, bytes);
  ASSERT_TRUE(util::Base64Decode("Zm9v\nYmE=\n", &back));
  EXPECT_EQ(back, "fooba");
}

// ---- IsCompressed ------------------------------------------------------------

TEST(IsCompressed, RecognisesZlibAndGzipHeaders) {
  // Too short even with the gzip magic; each zlib header byte; near misses; Base64 of gzip.
  const std::pair<std::string, bool> cases[] = {
      {"", false},          {"\x1F\x8B", false},  {"\x1F\x8B\x08", true},
      {"\x78\x01z", true},  {"\x78\xDAz", true},  {std::string("\x78\x9C\x00", 3), true},
      {"x^2+1", true},      {"\x78\x9Dz", false}, {"\x8B\x1Fz", false},
      {"\x1F\x8Cz", false}, {"hello", false},     {"H4sIAAAA", false}};
  for (const auto& c : cases) EXPECT_EQ(util::IsCompressed(c.first), c.second) << c.first;
}

// ---- gzip --------------------------------------------------------------------

// Outputs of every size come back whole: around the 64 KiB inflate pass, past
// many passes, compressible and not, with NULs inside.
TEST(Gzip, RoundTrips) {
  std::vector<std::pair<std::string, int>> inputs = {
      {"", -1}, {std::string("\0\x01\x02\0\xFF binary\0", 12), -1}, {RandomBytes(1 << 20, 7), -1}};
  for (const size_t size : {1u, 100u, 65535u, 65536u, 65537u, 131072u, 300000u, 2000000u}) {
    inputs.emplace_back(Letters(size, static_cast<unsigned>(size)), -1);
    inputs.emplace_back(std::string(size, 'r'), 9);
  }
  for (const auto& [input, level] : inputs) {
    const std::string packed = util::GzipCompress(input, level);
    EXPECT_EQ(packed.compare(0, 2, "\x1F\x8B"), 0);
    EXPECT_EQ(util::GzipDecompress(packed), input) << input.size() << " bytes";
  }
  // zlib-wrapped streams inflate too; bytes after the first stream are ignored.
  EXPECT_EQ(util::GzipDecompress(ZlibStream("zlib wrapper")), "zlib wrapper");
  EXPECT_EQ(util::GzipDecompress(Gzip("first") + "trailing bytes"), "first");
}

// A damaged stream fails with its own text, a stream cut short gives what it
// inflated to; either leaves the pooled inflate stream fit for the next text.
TEST(Gzip, DamagedAndCutStreamsLeaveTheStreamFitForTheNextText) {
  const std::string small = Letters(3000, 1);
  const std::string large = Letters(200000, 2);
  const std::string packedSmall = Gzip(small);
  const std::string packedLarge = Gzip(large);
  std::string damaged = packedSmall;
  damaged[damaged.size() - 6] ^= 0x55;  // inside the CRC-32 trailer
  const std::pair<std::string, std::string> failing[] = {
      {damaged, "incorrect data check"},
      {"plain text, not compressed", "incorrect header check"},
  };
  for (const auto& c : failing) {
    EXPECT_EQ(ErrorOf([&c] { util::GzipDecompress(c.first); }), c.second) << c.first.size();
    EXPECT_EQ(util::GzipDecompress(packedSmall), small);
  }
  // {cut stream, whole text, least bytes expected back}
  const std::tuple<std::string, std::string, size_t> cut[] = {
      {"", "", 0},
      {packedSmall.substr(0, 10), small, 0},  // header only
      {packedSmall.substr(0, packedSmall.size() / 2), small, 1},
      {packedLarge.substr(0, packedLarge.size() - 10), large, large.size() - 1000},
  };
  for (const auto& [bytes, whole, least] : cut) {
    bool ended = true;
    const std::string out =
        util::detail::GzipDecompressLimited(bytes, util::detail::kGzipSizeLimit, &ended);
    EXPECT_FALSE(ended) << bytes.size();
    EXPECT_GE(out.size(), least) << bytes.size();
    EXPECT_EQ(whole.compare(0, out.size(), out), 0) << bytes.size();  // a prefix, or all
    EXPECT_EQ(util::GzipDecompress(packedLarge), large);
  }
}

TEST(Gzip, SizeLimits) {
  using util::detail::GzipCompressLimited;
  using util::detail::GzipDecompressLimited;
  const std::string inputTooLarge = "size may use more memory than intended when decompressing";
  const std::string outputTooLarge =
      "size of output string will use more memory then intended when decompressing";
  const std::string repetitive(20000, 'r');
  const std::string packed = Gzip(repetitive);  // well under 1000 bytes
  ASSERT_LT(packed.size(), 500u);

  EXPECT_EQ(ErrorOf([] { GzipCompressLimited(std::string(101, 'c'), -1, 100); }), inputTooLarge);
  EXPECT_EQ(util::GzipDecompress(GzipCompressLimited(std::string(100, 'c'), -1, 100)),
            std::string(100, 'c'));
  // Twice the input must fit as well.
  EXPECT_EQ(ErrorOf([&] { GzipDecompressLimited(packed, packed.size() * 2 - 1, nullptr); }),
            inputTooLarge);
  // The output grows by twice the input per pass and stops before passing the limit.
  EXPECT_EQ(ErrorOf([&] { GzipDecompressLimited(packed, 19999, nullptr); }), outputTooLarge);
  EXPECT_EQ(GzipDecompressLimited(packed, 40000, nullptr), repetitive);
  EXPECT_EQ(ErrorOf([] { util::GzipCompress("x", 42); }), "deflate init failed");
}

// ---- CompressAndEncode / DecodeAndDecompress --------------------------------

TEST(ContentPacking, RoundTripsThroughBase64OfGzip) {
  for (const std::string& text :
       {std::string(), std::string("hi"),
        std::string("<imbody><r>\xE6\x8A\xA5\xE5\x91\x8A</r></imbody>"),
        std::string(300000, 'm') + "end", std::string("nul\0inside", 10)}) {
    const std::string packed = util::CompressAndEncode(text);
    EXPECT_EQ(packed.compare(0, 4, "H4sI"), 0) << packed;  // Base64 of 1F 8B 08
    EXPECT_EQ(util::DecodeAndDecompress(packed), text);
  }
  // Already compressed input is returned as it is; Base64 of a zlib stream unpacks.
  const std::string gz = Gzip("already packed");
  const std::string zlib = ZlibStream("already packed");
  EXPECT_EQ(util::CompressAndEncode(gz), gz);
  EXPECT_EQ(util::CompressAndEncode(zlib), zlib);
  EXPECT_EQ(util::DecodeAndDecompress(util::Base64Encode(zlib)), "already packed");
}

TEST(ContentPacking, UnpackKeepsInputThatIsNotPackedContent) {
  std::string corrupted = Gzip(RandomBytes(3000, 9));
  for (size_t i = 15; i < 40; ++i) corrupted[i] = static_cast<char>(~corrupted[i]);

  const std::string kept[] = {
      "plain text message",
      "Zm9vYmFy",                     // Base64, but of plain bytes
      util::Base64Encode("x"),        // Base64 of fewer than three bytes
      util::Base64Encode(corrupted),  // gzip stream damaged inside
      "",
  };
  for (const std::string& text : kept) EXPECT_EQ(util::DecodeAndDecompress(text), text) << text;
  // Only damage is told apart: the checked form gives "" and false for it.
  std::string out = "stale";
  EXPECT_FALSE(util::TryDecodeAndDecompress(util::Base64Encode(corrupted), &out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(util::TryDecodeAndDecompress("plain text message", &out));
  EXPECT_EQ(out, "plain text message");
  // A cut stream gives what it inflated to, wrapped Base64 included.
  const std::string text = Letters(5000, 4);
  const std::string cut = util::Base64Encode(Gzip(text).substr(0, 200)) + "\r\n";
  const std::string cutOut = util::DecodeAndDecompress(cut);
  EXPECT_TRUE(!cutOut.empty() && text.compare(0, cutOut.size(), cutOut) == 0) << cutOut.size();
  EXPECT_EQ(util::DecodeAndDecompress("H4sI"), "");  // a bare gzip magic inflates to nothing
}

// ---- FileMd5Hex --------------------------------------------------------------

// n bytes, byte i being (31 i + n) mod 256.
std::string Pattern(size_t n) {
  std::string content(n, '\0');
  for (size_t i = 0; i < n; ++i) content[i] = static_cast<char>((i * 31 + n) & 0xFF);
  return content;
}

TEST(FileMd5Hex, PublishedVectorsAndReadChunkEdges) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      // Around the 65535-byte read chunk.
      {Pattern(65534), "ce915aa524ca6e20d338e0ae1ca2fc63"},
      {Pattern(65535), "39c57427b14b61773e0a81e68a83dcb0"},
      {Pattern(65536), "a5a5dfa7d29736aecbf57924186dfcc8"},
      {Pattern(131070), "1c7c21444275e80b994cf012f8133d05"},
      {Pattern(131071), "700e56741bd69f761636cee84d50e3b4"},
      // One million bytes: fifteen full read chunks and a partial one.
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
  };
  int n = 0;
  for (const auto& [content, digest] : vectors) {  // files with non-ASCII names
    const testfiles::ScratchFile file("\xE6\x8A\xA5\xE5\x91\x8A_" + std::to_string(n++), content);
    EXPECT_EQ(util::FileMd5Hex(file.path()), digest) << content.size() << " bytes";
  }
}

TEST(FileMd5Hex, WhatCannotBeReadHasNoDigest) {
  EXPECT_EQ(util::FileMd5Hex(platform::CurrentDirectory() + "/util_md5_no_such_file"), "");
  EXPECT_EQ(util::FileMd5Hex(""), "");
  EXPECT_EQ(util::FileMd5Hex(platform::CurrentDirectory()), "");  // a folder
}

}  // namespace
