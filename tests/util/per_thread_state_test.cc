// State that each thread keeps for itself: the identifier generator and the
// inflate stream. Threads working at once must not share or disturb either.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "util/Utils.h"

namespace {

constexpr int kThreads = 4;

void RunThreads(const std::function<void(int thread)>& body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
  for (std::thread& thread : threads) thread.join();
}

// Threads started together draw different identifiers, never the same
// sequence. Every identifier has the version-4 shape, and every free digit
// position takes all 16 values over the draws (a digit stuck at one value or
// drawn from too small a range shows here).
TEST(GenerateUuid, ThreadsDrawDifferentVersion4Identifiers) {
  constexpr int kPerThread = 5000;
  std::vector<std::vector<std::string>> drawn(kThreads);
  RunThreads([&drawn](int t) {
    for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(util::GenerateUuid());
  });
  std::set<std::string> all;
  std::set<char> digits[36];
  for (const auto& list : drawn) {
    for (const std::string& uuid : list) {
      ASSERT_EQ(uuid.size(), 36u) << uuid;
      all.insert(uuid);
      for (size_t p = 0; p < uuid.size(); ++p) digits[p].insert(uuid[p]);
    }
  }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
  // x: any hex digit; y: the variant digit.
  const std::string shape = "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx";
  for (size_t p = 0; p < 36; ++p) {
    const std::string values = shape[p] == 'x'   ? "0123456789abcdef"
                               : shape[p] == 'y' ? "89ab"
                                                 : shape.substr(p, 1);
    EXPECT_EQ(digits[p], std::set<char>(values.begin(), values.end())) << "position " << p;
  }
}

// Each thread alternates between its own text and a neighbour's, so that every
// stream sees the sizes change.
TEST(PackedPayload, ThreadsInflateTheirOwnTexts) {
  std::vector<std::string> texts;
  std::vector<std::string> packed;
  for (int t = 0; t < kThreads; ++t) {
    std::mt19937 engine(t);
    texts.emplace_back(1000 + 40000 * static_cast<size_t>(t), ' ');
    for (char& c : texts.back()) c = static_cast<char>('a' + engine() % 16);
    packed.push_back(util::CompressAndEncode(texts.back()));
  }
  std::vector<int> wrong(kThreads, 0);
  RunThreads([&](int t) {
    for (int r = 0; r < 200; ++r) {
      const int which = r % 2 ? t : (t + 1) % kThreads;
      if (util::DecodeAndDecompress(packed[which]) != texts[which]) ++wrong[t];
    }
  });
  EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
}

}  // namespace
