#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "util/Utils.h"

namespace {

struct MaskCase {
  std::string in;
  std::string out;
};

TEST(MaskForLog, HidesByLength) {
  const MaskCase cases[] = {
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
      {"/home/user/Documents/report.txt", "/home*****t.txt"},
  };
  for (const MaskCase& c : cases) {
    EXPECT_EQ(util::MaskForLog(c.in), c.out) << "input \"" << c.in << "\"";
  }
}

TEST(MaskForLog, CountsBytesNotCharacters) {
  // "报告" is six bytes of UTF-8: the middle three bytes are hidden.
  EXPECT_EQ(util::MaskForLog("\xE6\x8A\xA5\xE5\x91\x8A"), "\xE6***\x91\x8A");
  // Embedded NUL bytes are ordinary bytes.
  EXPECT_EQ(util::MaskForLog(std::string("ab\0d", 4)), "***d");
}

bool IsLowerHex(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f');
}

void ExpectUuidShape(const std::string& uuid) {
  ASSERT_EQ(uuid.size(), 36u) << uuid;
  for (size_t i = 0; i < uuid.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(uuid[i], '-') << uuid;
    } else {
      EXPECT_TRUE(IsLowerHex(uuid[i])) << uuid << " at " << i;
    }
  }
  EXPECT_EQ(uuid[14], '4') << uuid;
  EXPECT_NE(std::string("89ab").find(uuid[19]), std::string::npos) << uuid;
}

TEST(GenerateUuid, HasVersion4ShapeAndDiffers) {
  constexpr int kCount = 10000;
  std::set<std::string> seen;
  std::set<char> variants;
  for (int i = 0; i < kCount; ++i) {
    const std::string uuid = util::GenerateUuid();
    ExpectUuidShape(uuid);
    variants.insert(uuid[19]);
    seen.insert(uuid);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kCount));
  // All four variant digits occur: the variant nibble is drawn, not fixed.
  EXPECT_EQ(variants, (std::set<char>{'8', '9', 'a', 'b'}));
}

TEST(GenerateUuid, EveryRandomPositionTakesEveryDigit) {
  // A digit stuck at one value (or drawn from too small a range) shows here:
  // over 2000 draws each of the 16 digits appears at each free position.
  std::set<char> digits[36];
  for (int i = 0; i < 2000; ++i) {
    const std::string uuid = util::GenerateUuid();
    for (size_t p = 0; p < uuid.size(); ++p) digits[p].insert(uuid[p]);
  }
  for (size_t p = 0; p < 36; ++p) {
    if (p == 8 || p == 13 || p == 18 || p == 23 || p == 14 || p == 19) continue;
    EXPECT_EQ(digits[p].size(), 16u) << "position " << p;
  }
}

}  // namespace
