// The codecs on any bytes: Base64 decoding, inflating, unpacking message
// content, UTF-8 ↔ UTF-16 and the file digest must take anything; encoding,
// deflating and packing must give back what went in.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "util/Utils.h"

namespace {

// A file of the fuzzer's own for the digest, named through its open
// descriptor: its name is removed at once, so nothing is left behind however
// the fuzzer ends (it leaves through _Exit, past the exit handlers).
const std::string& DigestFile() {
  static const std::string path = [] {
    char pattern[] = "/dev/shm/im_fuzz_md5_XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0 || unlink(pattern) != 0) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::string decoded;
  // Decoding accepts set bits after the last symbol ("Ql==" is "B", like "Qg=="),
  // so only what decodes must encode and decode again to itself.
  if (util::Base64Decode(bytes, &decoded)) {
    std::string again;
    Check(util::Base64Decode(util::Base64Encode(decoded), &again) && again == decoded);
  }
  Check(util::Base64Decode(util::Base64Encode(bytes), &decoded) && decoded == bytes);

  try {
    util::GzipDecompress(bytes);
  } catch (const std::exception&) {
  }
  const int level = size == 0 ? -1 : static_cast<int>(data[0] % 11) - 1;
  Check(util::GzipDecompress(util::GzipCompress(bytes, level)) == bytes);

  util::DecodeAndDecompress(bytes);
  if (!util::IsCompressed(bytes)) {
    Check(util::DecodeAndDecompress(util::CompressAndEncode(bytes)) == bytes);
  }

  const std::u16string wide = util::Utf8ToUtf16(bytes);
  if (!wide.empty()) Check(util::Utf16ToUtf8(wide) == bytes);
  util::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), size / 2));

  std::FILE* file = std::fopen(DigestFile().c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, size, file);
  std::fclose(file);
  Check(util::FileMd5Hex(DigestFile()).size() == 32);
  return 0;
}
