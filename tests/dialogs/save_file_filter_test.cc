// The save dialog's filter and the UTF-16 length used for the path limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter/src/imAdapterSaveAs.h"
#include "platform/Dialogs.h"

namespace {

TEST(SaveFileFilter, FollowsFileTypeAndSuffix) {
  struct Case {
    const char* fileType;
    const char* suffix;
    const char* description;
    std::vector<std::string> patterns;
  };
  const std::vector<std::string> pictures = {"*.jpg", "*.png", "*.gif"};
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("fileType=\"") + c.fileType + "\" suffix=\"" + c.suffix + "\"");
    platform::FileFilter filter = platform::SaveFileFilter(c.fileType, c.suffix);
    EXPECT_EQ(filter.description, c.description);
    EXPECT_EQ(filter.patterns, c.patterns);
  }
}

TEST(Utf16Units, CountsUnitsNotBytes) {
  struct Case {
    std::string text;
    size_t units;
  };
  const Case cases[] = {
      {"", 0},
      {"报告.txt", 6},                  // two three-byte characters, one unit each
      {"é", 1},                         // two bytes, one unit
      {"\xF0\x9F\x98\x80", 2},          // U+1F600 needs a surrogate pair
      {std::string("a\x80") + "b", 2},  // a stray continuation byte adds nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Utf16Units(c.text), c.units);
  }
}

}  // namespace
