#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <new>

#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Utils.h"

namespace util {
namespace {

constexpr size_t kBufferSize = 65536;
constexpr size_t kChunkSize = 65535;  // bytes read per call
constexpr char kFunction[] = "util::FileMd5Hex";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct DigestFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestPtr = std::unique_ptr<EVP_MD_CTX, DigestFree>;

std::string ToHex(const unsigned char* bytes, unsigned int count) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(count * 2);
  for (unsigned int i = 0; i < count; ++i) {
    hex.push_back(kHex[bytes[i] >> 4]);
    hex.push_back(kHex[bytes[i] & 0x0F]);
  }
  return hex;
}

// Feeds the rest of file to context. False on a read error.
bool DigestFile(std::FILE* file, EVP_MD_CTX* context) {
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBufferSize]);
  if (!buffer) return false;
  size_t read = 0;
  while ((read = std::fread(buffer.get(), 1, kChunkSize, file)) > 0) {
    if (EVP_DigestUpdate(context, buffer.get(), read) != 1) return false;
  }
  return std::ferror(file) == 0;
}

}  // namespace

std::string FileMd5Hex(const std::string& utf8Path) {
  FilePtr file(platform::OpenFile(utf8Path, "rb"));
  if (!file) {
    const std::string why = platform::LastErrorText();
    IMLOG(kLogWar, kFunction, "cannot open " + MaskForLog(utf8Path) + ": " + why);
    return std::string();
  }
  DigestPtr context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) {
    IMLOG(kLogErr, kFunction, "digest unavailable for " + MaskForLog(utf8Path));
    return std::string();
  }
  if (!DigestFile(file.get(), context.get())) {
    const std::string why = platform::LastErrorText();
    IMLOG(kLogErr, kFunction, "cannot read " + MaskForLog(utf8Path) + ": " + why);
    return std::string();
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::string();
  return ToHex(digest, length);
}

}  // namespace util
