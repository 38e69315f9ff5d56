// Inflating packed payloads with the per-thread stream: outputs of every
// size come back whole, a damaged or cut stream fails with its own message
// and leaves the stream fit for the next text, and threads do not share it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "util/Utils.h"

namespace {

// A text that compresses a little but not to nothing.
std::string Text(size_t size, unsigned seed) {
  std::string text(size, ' ');
  unsigned state = seed;
  for (char& c : text) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>('a' + (state >> 16) % 16);
  }
  return text;
}

std::string ErrorOf(const std::string& bytes) {
  try {
    util::GzipDecompress(bytes);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(PackedPayload, OutputsOfEverySizeComeBackWhole) {
  const size_t sizes[] = {1, 100, 65535, 65536, 65537, 131072, 300000, 2000000};
  for (const size_t size : sizes) {
    const std::string text = Text(size, static_cast<unsigned>(size));
    EXPECT_EQ(util::GzipDecompress(util::GzipCompress(text, -1)), text) << size;
    const std::string repetitive(size, 'r');
    EXPECT_EQ(util::GzipDecompress(util::GzipCompress(repetitive, 9)), repetitive) << size;
  }
}

TEST(PackedPayload, FailuresLeaveTheStreamFitForTheNextText) {
  const std::string small = Text(3000, 1);
  const std::string large = Text(200000, 2);
  const std::string packedSmall = util::GzipCompress(small, -1);
  const std::string packedLarge = util::GzipCompress(large, -1);
  std::string damaged = packedSmall;
  damaged[damaged.size() - 6] ^= 0x55;  // inside the data check
  struct Case {
    const char* name;
    std::string bytes;
    std::string error;
  };
  const Case cases[] = {
      {"empty", "", "compressed data is incomplete"},
      {"cut short", packedSmall.substr(0, packedSmall.size() / 2),
       "compressed data is incomplete"},
      {"cut short past the first pass", packedLarge.substr(0, packedLarge.size() - 10),
       "compressed data is incomplete"},
      {"damaged check", damaged, "incorrect data check"},
      {"not compressed", "plain text, not a stream", "incorrect header check"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.bytes), c.error) << c.name;
    EXPECT_EQ(util::GzipDecompress(packedSmall), small) << "after " << c.name;
    EXPECT_EQ(util::GzipDecompress(packedLarge), large) << "after " << c.name;
  }
  // Bytes after the end of the stream are ignored.
  EXPECT_EQ(util::GzipDecompress(packedSmall + "trailing"), small);
}

TEST(PackedPayload, ThreadsInflateTheirOwnTexts) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::string> texts;
  std::vector<std::string> packed;
  for (int t = 0; t < kThreads; ++t) {
    texts.push_back(Text(1000 + 40000 * static_cast<size_t>(t), static_cast<unsigned>(t)));
    packed.push_back(util::CompressAndEncode(texts.back()));
  }
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) {
        // Alternate with a neighbour's text so that each stream sees sizes change.
        const int which = r % 2 ? t : (t + 1) % kThreads;
        if (util::DecodeAndDecompress(packed[which]) != texts[which]) ++wrong[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
