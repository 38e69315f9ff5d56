// The gzip routines behind GzipCompress and GzipDecompress, with the size limit
// as a parameter so that tests can reach the limit checks with small data.
// Internal to im_util: adapter code calls the functions of util/Utils.h.
#pragma once

#include <cstddef>
#include <string>

namespace util {
namespace detail {

// The limit the public routines use: bytes of input, and of decompressed output.
constexpr size_t kGzipSizeLimit = 2000000000;

// GzipCompress with `limit` in place of kGzipSizeLimit. Same failures.
std::string GzipCompressLimited(const std::string& bytes, int level, size_t limit);
// GzipDecompress with `limit` in place of kGzipSizeLimit. Same failures.
// *ended (when not null) tells whether the stream ended or was cut short.
std::string GzipDecompressLimited(const std::string& bytes, size_t limit, bool* ended);

}  // namespace detail
}  // namespace util
