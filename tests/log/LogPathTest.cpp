// Day folders and the split of log file paths, for both path forms.
#include <gtest/gtest.h>

#include <string>

#include "log/LogPath.h"

namespace {

using log_internal::ApplyDayFolder;
using log_internal::IsWindowsFormPath;
using log_internal::SplitLogPath;

struct DayFolderCase {
  const char* name;
  char sep;
  const char* path;
  bool changed;
  const char* expected;
};

TEST(LogPathTest, DayFolder) {
  const char* today = "2026-03-14";
  const DayFolderCase cases[] = {
      {"insert after log", '/', "/x/log/im_adapter.log", true, "/x/log/2026-03-14/im_adapter.log"},
      {"replace older date", '/', "/x/log/2026-03-13/a.log", true, "/x/log/2026-03-14/a.log"},
      {"same date unchanged", '/', "/x/log/2026-03-14/a.log", false, "/x/log/2026-03-14/a.log"},
      {"capital Log", '/', "/x/Log/im_adapter.log", false, "/x/Log/im_adapter.log"},
      {"log as name part", '/', "/x/mylog/a.log", false, "/x/mylog/a.log"},
      {"log at start", '/', "log/a.log", false, "log/a.log"},
      {"not a date: letters", '/', "/x/log/2026-0a-13/a.log", true,
       "/x/log/2026-03-14/2026-0a-13/a.log"},
      {"dated second log folder wins", '/', "/a/log/b/log/2026-01-01/f.log", true,
       "/a/log/b/log/2026-03-14/f.log"},
      {"first plain log folder", '/', "/a/log/b/log/f.log", true, "/a/log/2026-03-14/b/log/f.log"},
      {"backslash ignored on slash paths", '/', "C:\\x\\log\\a.log", false, "C:\\x\\log\\a.log"},
      {"windows insert", '\\', "C:\\x\\log\\im_adapter.log", true,
       "C:\\x\\log\\2026-03-14\\im_adapter.log"},
      {"windows replace", '\\', "C:\\x\\log\\1999-12-31\\a.log", true,
       "C:\\x\\log\\2026-03-14\\a.log"},
  };
  for (const DayFolderCase& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(ApplyDayFolder(&path, today, c.sep), c.changed) << c.name;
    EXPECT_EQ(path, c.expected) << c.name;
  }
}

TEST(LogPathTest, WindowsForm) {
  EXPECT_TRUE(IsWindowsFormPath("C:\\x\\log"));
  EXPECT_TRUE(IsWindowsFormPath("c:/x"));
  EXPECT_TRUE(IsWindowsFormPath("\\\\server\\share\\a.log"));
  EXPECT_FALSE(IsWindowsFormPath("/x/log/a.log"));
  EXPECT_FALSE(IsWindowsFormPath("\\x\\a.log"));
  EXPECT_FALSE(IsWindowsFormPath("a.log"));
}

struct SplitCase {
  const char* name;
  char sep;
  const char* path;
  const char* cwd;
  bool ok;
  const char* directory;
  const char* file;
};

TEST(LogPathTest, Split) {
  const SplitCase cases[] = {
      {"absolute", '/', "/x/log/2026-03-14/a.log", "/w", true, "/x/log/2026-03-14/", "a.log"},
      {"absolute with dots", '/', "/x/./y/../log/a.log", "/w", true, "/x/log/", "a.log"},
      {"dotdot above root", '/', "/../a.log", "/w", true, "/", "a.log"},
      {"bare name", '/', "a.log", "/w/d", true, "/w/d/", "a.log"},
      {"relative", '/', "sub/log/a.log", "/w", true, "/w/sub/log/", "a.log"},
      {"relative with dots", '/', "./x/../../y/a.log", "/w/d", true, "/w/y/", "a.log"},
      {"colon on slash paths is a name", '/', "/x/a:b/a.log", "/w", true, "/x/a:b/", "a.log"},
      {"drive", '\\', "C:\\x\\log\\a.log", "C:\\w", true, "C:\\x\\log\\", "a.log"},
      {"drive with slashes", '\\', "C:/x/log/a.log", "C:\\w", true, "C:\\x\\log\\", "a.log"},
      {"drive without separator", '\\', "C:a.log", "C:\\w", false, "", ""},
      {"network", '\\', "\\\\srv\\share\\a.log", "C:\\w", true, "\\\\srv\\share\\", "a.log"},
      {"network server only", '\\', "\\\\srv", "C:\\w", false, "", ""},
      {"network ends with separator", '\\', "\\\\srv\\share\\", "C:\\w", false, "", ""},
      {"windows relative", '\\', "sub\\a.log", "C:\\w", true, "C:\\w\\sub\\", "a.log"},
  };
  for (const SplitCase& c : cases) {
    std::string directory = "unset";
    std::string file = "unset";
    EXPECT_EQ(SplitLogPath(c.path, c.sep, c.cwd, &directory, &file), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(directory, c.directory) << c.name;
      EXPECT_EQ(file, c.file) << c.name;
    } else {
      EXPECT_EQ(directory, "unset") << c.name;
    }
  }
}

}  // namespace
