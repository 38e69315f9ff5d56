// The save dialog's filter and the UTF-16 length used for the path limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace {

TEST(SaveFileFilter, FollowsFileTypeAndSuffix) {
  const std::vector<std::string> pictures = {"*.jpg", "*.png", "*.gif"};
  const struct {
    const char* fileType;
    const char* suffix;
    const char* description;
    std::vector<std::string> patterns;
  } cases[] = {
      // "images" wins whatever the suffix.
      {"images", "txt", "images (*.jpg;*.png;*.gif)", pictures},
      {"images", ".pdf", "images (*.jpg;*.png;*.gif)", pictures},
      // Only the exact text selects the pictures.
      {"Images", "png", "Files (*.png)", {"*.png"}},
      {"images ", "png", "Files (*.png)", {"*.png"}},
      // A dot is put in front only when the suffix has none.
      {"", "txt", "Files (*.txt)", {"*.txt"}},
      {"doc", ".txt", "Files (*.txt)", {"*.txt"}},
      {"", "", "Files (*.)", {"*."}},
      {"", "报告", "Files (*.报告)", {"*.报告"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("fileType=\"") + c.fileType + "\" suffix=\"" + c.suffix + "\"");
    platform::FileFilter filter = platform::SaveFileFilter(c.fileType, c.suffix);
    EXPECT_EQ(filter.description, c.description);
    EXPECT_EQ(filter.patterns, c.patterns);
  }
}

TEST(Utf16Units, CountsUnitsAndCutsWithoutSplittingACharacter) {
  const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600 needs a surrogate pair
  const struct {
    std::string text;
    size_t units;
    size_t cutAt;     // a limit in units
    std::string cut;  // the text cut to that limit
  } cases[] = {
      {"", 0, 0, ""},
      {"报告.txt", 6, 1, "报"},  // two three-byte characters, one unit each
      {"é", 1, 0, ""},           // two bytes, one unit
      {smile, 2, 2, smile},
      {"a" + smile, 3, 2, "a"},  // the pair is not split
      {"a" + smile + "b", 4, 3, "a" + smile},
      {std::string("a\x80") + "b", 2, 1, "a\x80"},  // a stray continuation byte adds nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(platform::Utf16Units(c.text), c.units);
    EXPECT_EQ(platform::CutToUtf16Units(c.text, c.cutAt), c.cut);
  }
}

}  // namespace
