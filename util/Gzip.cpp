#include <zlib.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "util/GzipLimited.h"
#include "util/ObjectPool.h"
#include "util/Utils.h"

namespace util {
namespace {

constexpr int kGzipWindowBits = 31;  // 15 + 16: gzip wrapper
constexpr int kAutoWindowBits = 47;  // 15 + 32: zlib or gzip header detected
constexpr int kMemoryLevel = 8;

constexpr char kInputTooLarge[] = "size may use more memory than intended when decompressing";
constexpr char kOutputTooLarge[] =
    "size of output string will use more memory then intended when decompressing";

// Ends a deflate stream however the operation leaves.
class DeflateStream {
 public:
  explicit DeflateStream(z_stream* stream) : stream_(stream) {}
  ~DeflateStream() { deflateEnd(stream_); }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;

 private:
  z_stream* stream_;
};

std::string ZlibMessage(const z_stream& stream, int result) {
  return stream.msg != nullptr ? stream.msg : zError(result);
}

Bytef* WritePosition(std::string* out, size_t written) {
  return reinterpret_cast<Bytef*>(&(*out)[0]) + written;
}

// Output room of the first inflate pass of GzipDecompress. Message bodies
// and file lists inflate to a few kilobytes, so one pass almost always ends
// the stream, which also spares zlib its sliding window.
constexpr size_t kFirstPassBytes = 64 * 1024;

// An inflate stream and its first-pass buffer, set up once and reset for
// every stream, so that inflating many small texts does not set up and tear
// down zlib's state each time. Kept in a shared stock rather than per thread:
// an object with a destructor in thread-local storage is not safe in the
// Windows build (its storage is freed before the destructor runs).
class ReusableInflater {
 public:
  ReusableInflater() {
    if (inflateInit2(&stream_, kAutoWindowBits) != Z_OK) {
      throw std::runtime_error("inflate init failed");
    }
    firstPass_.resize(kFirstPassBytes);
  }
  ~ReusableInflater() { inflateEnd(&stream_); }
  ReusableInflater(const ReusableInflater&) = delete;
  ReusableInflater& operator=(const ReusableInflater&) = delete;

  // The inflated text of bytes (gzip or zlib), at most limit bytes of it.
  // The output grows by the first-pass room, then by doubling, never beyond
  // limit. A stream cut short gives what it inflated to, with *ended false.
  // Throws on input or output over the limit and on corrupt data.
  std::string Inflate(const std::string& bytes, size_t limit, bool* ended) {
    if (bytes.size() > limit || bytes.size() * 2 > limit) {
      throw std::runtime_error(kInputTooLarge);
    }
    *ended = false;
    if (bytes.empty()) return std::string();
    if (inflateReset(&stream_) != Z_OK) throw std::runtime_error("inflate init failed");
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_.avail_in = static_cast<uInt>(bytes.size());
    stream_.next_out = WritePosition(&firstPass_, 0);
    stream_.avail_out = static_cast<uInt>(std::min(kFirstPassBytes, limit));
    int result = Step();
    std::string out(firstPass_, 0, stream_.total_out);
    while (result != Z_STREAM_END && stream_.avail_out == 0) {
      const size_t growth = std::min<size_t>(out.size(), limit - stream_.total_out);
      if (growth == 0) throw std::runtime_error(kOutputTooLarge);
      out.resize(stream_.total_out + growth);
      stream_.next_out = WritePosition(&out, stream_.total_out);
      stream_.avail_out = static_cast<uInt>(growth);
      result = Step();
    }
    // Room was left but the stream did not end: the input stops mid-stream,
    // and what it inflated to so far is the answer.
    *ended = result == Z_STREAM_END;
    out.resize(stream_.total_out);
    return out;
  }

 private:
  int Step() {
    const int result = inflate(&stream_, Z_FINISH);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      throw std::runtime_error(ZlibMessage(stream_, result));
    }
    return result;
  }

  z_stream stream_{};
  std::string firstPass_;
};

}  // namespace

bool IsCompressed(const std::string& bytes) {
  if (bytes.size() < 3) return false;
  const auto first = static_cast<unsigned char>(bytes[0]);
  const auto second = static_cast<unsigned char>(bytes[1]);
  if (first == 0x78) {
    return second == 0x9C || second == 0x01 || second == 0xDA || second == 0x5E;
  }
  return first == 0x1F && second == 0x8B;
}

namespace detail {

std::string GzipCompressLimited(const std::string& bytes, int level, size_t limit) {
  if (bytes.size() > limit) throw std::runtime_error(kInputTooLarge);
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::runtime_error("deflate init failed");
  }
  DeflateStream guard(&stream);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());

  const size_t growth = bytes.size() / 2 + 1024;
  std::string out;
  int result = Z_OK;
  do {
    out.resize(stream.total_out + growth);
    stream.next_out = WritePosition(&out, stream.total_out);
    stream.avail_out = static_cast<uInt>(growth);
    result = deflate(&stream, Z_FINISH);
  } while (result != Z_STREAM_END && stream.avail_out == 0);
  if (result != Z_STREAM_END) throw std::runtime_error(ZlibMessage(stream, result));
  out.resize(stream.total_out);
  return out;
}

std::string GzipDecompressLimited(const std::string& bytes, size_t limit, bool* ended) {
  // Never destroyed: a thread may still inflate while the process exits.
  static auto* const inflaters = new ObjectPool<ReusableInflater>(
      [] { return std::make_unique<ReusableInflater>(); });
  ObjectPool<ReusableInflater>::Lease inflater = inflaters->Take();
  bool streamEnded = false;
  std::string out = inflater->Inflate(bytes, limit, &streamEnded);
  if (ended != nullptr) *ended = streamEnded;
  return out;
}

}  // namespace detail

std::string GzipCompress(const std::string& bytes, int level) {
  return detail::GzipCompressLimited(bytes, level, detail::kGzipSizeLimit);
}

std::string GzipDecompress(const std::string& bytes) {
  return detail::GzipDecompressLimited(bytes, detail::kGzipSizeLimit, nullptr);
}

}  // namespace util
