// Day folders and the split of log file paths, for both path forms.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "log/LogPath.h"

namespace {

using log_internal::ApplyDayFolder;
using log_internal::IsWindowsFormPath;
using log_internal::SplitLogPath;

TEST(LogPathTest, DayFolder) {
  // {separator, path, changed, path after}, today being 2026-03-14
  const std::tuple<char, const char*, bool, const char*> cases[] = {
      {'/', "/x/log/im_adapter.log", true, "/x/log/2026-03-14/im_adapter.log"},
      {'/', "/x/log/2026-03-13/a.log", true, "/x/log/2026-03-14/a.log"},
      {'/', "/x/log/2026-03-14/a.log", false, "/x/log/2026-03-14/a.log"},
      {'/', "/x/Log/im_adapter.log", false, "/x/Log/im_adapter.log"},  // case-sensitive
      {'/', "/x/mylog/a.log", false, "/x/mylog/a.log"},
      {'/', "log/a.log", false, "log/a.log"},
      {'/', "/x/log/2026-0a-13/a.log", true, "/x/log/2026-03-14/2026-0a-13/a.log"},   // not a date
      {'/', "/a/log/b/log/2026-01-01/f.log", true, "/a/log/b/log/2026-03-14/f.log"},  // dated wins
      {'/', "/a/log/b/log/f.log", true, "/a/log/2026-03-14/b/log/f.log"},  // first plain log
      {'/', "C:\\x\\log\\a.log", false, "C:\\x\\log\\a.log"},
      {'\\', "C:\\x\\log\\im_adapter.log", true, "C:\\x\\log\\2026-03-14\\im_adapter.log"},
      {'\\', "C:\\x\\log\\1999-12-31\\a.log", true, "C:\\x\\log\\2026-03-14\\a.log"},
  };
  for (const auto& [sep, input, changed, expected] : cases) {
    std::string path = input;
    EXPECT_EQ(ApplyDayFolder(&path, "2026-03-14", sep), changed) << input;
    EXPECT_EQ(path, expected);
  }
}

TEST(LogPathTest, WindowsForm) {
  const std::pair<const char*, bool> cases[] = {
      {"C:\\x\\log", true},    {"c:/x", true},        {"\\\\server\\share\\a.log", true},
      {"/x/log/a.log", false}, {"\\x\\a.log", false}, {"a.log", false}};
  for (const auto& [path, windows] : cases) EXPECT_EQ(IsWindowsFormPath(path), windows) << path;
}

TEST(LogPathTest, Split) {
  // {separator, path, working folder, folder, file name}; no folder: refused, nothing set
  const std::tuple<char, const char*, const char*, const char*, const char*> cases[] = {
      {'/', "/x/log/2026-03-14/a.log", "/w", "/x/log/2026-03-14/", "a.log"},
      {'/', "/x/./y/../log/a.log", "/w", "/x/log/", "a.log"},
      {'/', "/../a.log", "/w", "/", "a.log"},
      {'/', "a.log", "/w/d", "/w/d/", "a.log"},
      {'/', "sub/log/a.log", "/w", "/w/sub/log/", "a.log"},
      {'/', "./x/../../y/a.log", "/w/d", "/w/y/", "a.log"},
      {'/', "/x/a:b/a.log", "/w", "/x/a:b/", "a.log"},  // a colon on slash paths is a name
      {'\\', "C:\\x\\log\\a.log", "C:\\w", "C:\\x\\log\\", "a.log"},
      {'\\', "C:/x/log/a.log", "C:\\w", "C:\\x\\log\\", "a.log"},
      {'\\', "C:a.log", "C:\\w", nullptr, nullptr},
      {'\\', "\\\\srv\\share\\a.log", "C:\\w", "\\\\srv\\share\\", "a.log"},
      {'\\', "\\\\srv", "C:\\w", nullptr, nullptr},
      {'\\', "\\\\srv\\share\\", "C:\\w", nullptr, nullptr},
      {'\\', "sub\\a.log", "C:\\w", "C:\\w\\sub\\", "a.log"},
  };
  for (const auto& [sep, path, cwd, folder, name] : cases) {
    std::string directory = "unset";
    std::string file = "unset";
    EXPECT_EQ(SplitLogPath(path, sep, cwd, &directory, &file), folder != nullptr) << path;
    EXPECT_EQ(directory, folder ? folder : "unset") << path;
    EXPECT_EQ(file, name ? name : "unset") << path;
  }
}

}  // namespace
