#include <gtest/gtest.h>

#include <set>
#include <string>

#include "util/Utils.h"

namespace {

TEST(MaskForLog, HidesByByteLength) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"a", "***"},
      {"abc", "***"},
      {"abcd", "***d"},
      {"abcde", "a***e"},
      {"abcdef", "a***ef"},
      {"abcdefg", "ab***fg"},
      {"abcdefghijk", "abcd***hijk"},
      {"abcdefghijkl", "abcde*****hijkl"},
      {"0123456789abcdef", "01234*****bcdef"},
      // Bytes, not characters: six bytes of UTF-8 lose their middle three.
      {"\xE6\x8A\xA5\xE5\x91\x8A", "\xE6***\x91\x8A"},
      {std::string("ab\0d", 4), "***d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(util::MaskForLog(c.first), c.second) << "input \"" << c.first << "\"";
  }
}

// Shape of a version-4 identifier, and every free digit position takes all 16
// values over many draws (a digit stuck at one value or drawn from too small a
// range shows here), and no identifier repeats.
TEST(GenerateUuid, Version4ShapeWithEveryDigitDrawn) {
  constexpr int kCount = 5000;
  std::set<std::string> seen;
  std::set<char> digits[36];
  for (int i = 0; i < kCount; ++i) {
    const std::string uuid = util::GenerateUuid();
    ASSERT_EQ(uuid.size(), 36u) << uuid;
    seen.insert(uuid);
    for (size_t p = 0; p < uuid.size(); ++p) digits[p].insert(uuid[p]);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kCount));
  const std::set<char> hex = {'0', '1', '2', '3', '4', '5', '6', '7',
                              '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  for (size_t p = 0; p < 36; ++p) {
    std::set<char> expected = hex;
    if (p == 8 || p == 13 || p == 18 || p == 23) expected = {'-'};
    if (p == 14) expected = {'4'};
    if (p == 19) expected = {'8', '9', 'a', 'b'};
    EXPECT_EQ(digits[p], expected) << "position " << p;
  }
}

}  // namespace
