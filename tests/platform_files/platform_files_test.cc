// The file services of the platform layer, as the forwarding, migration and
// logging code rely on them: result codes of links, copies and moves, listings,
// UTF-8 names, long paths, free space and volumes. The same expectations hold on
// every platform; the few that differ read PathSeparator().
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"

namespace {

std::string Join(const std::string& folder, const std::string& name) {
  return folder + platform::PathSeparator() + name;
}

// A scratch folder per test under the system's temporary folder, emptied and
// removed at the end (one level of sub-folders, which is all the tests make).
class PlatformFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = ::testing::TempDir();
    while (!base.empty() && platform::IsPathSeparator(base.back())) base.pop_back();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = Join(base, std::string("im_platform_") + std::to_string(platform::ProcessId()) + "_" +
                           info->name());
    RemoveTree(root_);
    ASSERT_TRUE(platform::MakeDirectories(root_)) << root_;
  }
  void TearDown() override { RemoveTree(root_); }

  std::string Path(const std::string& name) const { return Join(root_, name); }

  static void Write(const std::string& path, const std::string& content) {
    std::FILE* file = platform::OpenFile(path, "wb");
    ASSERT_NE(file, nullptr) << path << ": " << platform::LastErrorText();
    ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), file), content.size());
    ASSERT_EQ(std::fclose(file), 0);
  }

  static std::string Read(const std::string& path) {
    std::FILE* file = platform::OpenFile(path, "rb");
    if (file == nullptr) return "<missing>";
    std::string content;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
    std::fclose(file);
    return content;
  }

  static void RemoveTree(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(folder, &entries)) return;
    for (const platform::DirEntry& entry : entries) {
      if (entry.isDirectory) {
        RemoveTree(Join(folder, entry.name));
      } else {
        platform::RemoveFile(Join(folder, entry.name));
      }
    }
    // The platform layer removes no folders: the C library takes an empty one
    // where it can (POSIX); elsewhere it stays behind, empty, in the temporary folder.
    std::remove(folder.c_str());
  }

  std::string root_;
};

bool IsExistingCode(int rc) {
  return rc == platform::kErrAlreadyExists || rc == platform::kErrFileExists;
}

TEST_F(PlatformFilesTest, LinkCopyAndMoveReportTheAdaptersResultCodes) {
  Write(Path("src.txt"), "source");
  Write(Path("taken.txt"), "taken");

  // A hard link to an existing name fails with "already exists"; a fresh one shares the data.
  EXPECT_TRUE(IsExistingCode(platform::CreateHardLink(Path("src.txt"), Path("taken.txt"))));
  EXPECT_EQ(Read(Path("taken.txt")), "taken");
  ASSERT_EQ(platform::CreateHardLink(Path("src.txt"), Path("link.txt")), platform::kOk);
  EXPECT_EQ(Read(Path("link.txt")), "source");
  EXPECT_EQ(platform::CreateHardLink(Path("absent.txt"), Path("link2.txt")),
            platform::kErrFileNotFound);

  // A copy replaces an existing destination.
  EXPECT_EQ(platform::CopyFileOverwrite(Path("src.txt"), Path("taken.txt")), platform::kOk);
  EXPECT_EQ(Read(Path("taken.txt")), "source");
  EXPECT_EQ(platform::CopyFileOverwrite(Path("absent.txt"), Path("copy.txt")),
            platform::kErrFileNotFound);
  EXPECT_FALSE(platform::PathExists(Path("copy.txt")));

  // A move never replaces: both files stay as they were.
  Write(Path("other.txt"), "other");
  EXPECT_TRUE(IsExistingCode(platform::MoveFileNoReplace(Path("other.txt"), Path("taken.txt"))));
  EXPECT_EQ(Read(Path("other.txt")), "other");
  EXPECT_EQ(Read(Path("taken.txt")), "source");
  EXPECT_EQ(platform::MoveFileNoReplace(Path("other.txt"), Path("moved.txt")), platform::kOk);
  EXPECT_FALSE(platform::PathExists(Path("other.txt")));
  EXPECT_EQ(Read(Path("moved.txt")), "other");
  EXPECT_EQ(platform::MoveFileNoReplace(Path("absent.txt"), Path("moved2.txt")),
            platform::kErrFileNotFound);
}

TEST_F(PlatformFilesTest, RenameReplaceAndRemove) {
  Write(Path("a.log"), "new");
  Write(Path("b.log"), "old");
  EXPECT_EQ(platform::RenameReplace(Path("a.log"), Path("b.log")), platform::kOk);
  EXPECT_FALSE(platform::PathExists(Path("a.log")));
  EXPECT_EQ(Read(Path("b.log")), "new");
  EXPECT_EQ(platform::RemoveFile(Path("b.log")), platform::kOk);
  EXPECT_EQ(platform::RemoveFile(Path("b.log")), platform::kErrFileNotFound);
}

TEST_F(PlatformFilesTest, Utf8NamesSurviveEveryOperation) {
  const std::vector<std::string> names = {
      "\xe6\x8a\xa5\xe5\x91\x8a \xc3\xbc.txt",    // CJK, a blank and a Latin-1 letter
      "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.png",  // Cyrillic
      "\xf0\x9f\x98\x80 smile.jpg",              // outside the basic plane (a surrogate pair)
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Write(Path(name), name);
    EXPECT_TRUE(platform::PathExists(Path(name)));
    EXPECT_EQ(platform::CreateHardLink(Path(name), Path("link " + name)), platform::kOk);
    EXPECT_EQ(platform::CopyFileOverwrite(Path(name), Path("copy " + name)), platform::kOk);
    EXPECT_EQ(platform::MoveFileNoReplace(Path("copy " + name), Path("moved " + name)),
              platform::kOk);
    EXPECT_EQ(Read(Path("moved " + name)), name);
  }
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(root_, &entries));
  std::vector<std::string> listed;
  for (const platform::DirEntry& entry : entries) listed.push_back(entry.name);
  for (const std::string& name : names) {
    for (const char* prefix : {"", "link ", "moved "}) {
      EXPECT_NE(std::find(listed.begin(), listed.end(), prefix + name), listed.end())
          << prefix + name;
    }
  }
  EXPECT_EQ(listed.size(), names.size() * 3);
}

TEST_F(PlatformFilesTest, ListingGivesNamesKindsAndSizesOfOneLevel) {
  Write(Path("empty.bin"), "");
  Write(Path("ten.bin"), std::string(10, 'x'));
  ASSERT_TRUE(platform::MakeDirectories(Path("sub")));
  Write(Join(Path("sub"), "inner.bin"), "not listed");

  std::vector<platform::DirEntry> entries;
  entries.push_back(platform::DirEntry{"stale", false, 1});  // replaced, not appended to
  ASSERT_TRUE(platform::ListDirectory(root_, &entries));
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "empty.bin");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_EQ(entries[0].size, 0u);
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_TRUE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, "ten.bin");
  EXPECT_EQ(entries[2].size, 10u);

  EXPECT_FALSE(platform::ListDirectory(Path("missing"), &entries));
  EXPECT_TRUE(entries.empty());
}

TEST_F(PlatformFilesTest, MakeDirectoriesCreatesEveryMissingLevel) {
  const std::string deep = Join(Join(Path("a"), "b"), "c");
  EXPECT_TRUE(platform::MakeDirectories(deep));
  EXPECT_TRUE(platform::IsDirectory(deep));
  EXPECT_TRUE(platform::MakeDirectories(deep));  // already there
  EXPECT_EQ(platform::MakeDirectory(deep), platform::kErrAlreadyExists);

  Write(Path("file"), "x");  // a file where a folder level should be
  EXPECT_FALSE(platform::MakeDirectories(Join(Path("file"), "below")));
  EXPECT_FALSE(platform::IsDirectory(Path("file")));
}

TEST_F(PlatformFilesTest, LongPathsWork) {
  std::string folder = root_;
  const std::string level(60, 'd');
  while (folder.size() < 300) folder = Join(folder, level);
  ASSERT_TRUE(platform::MakeDirectories(folder)) << platform::LastErrorText();
  const std::string file = Join(folder, "long.txt");
  Write(file, "deep");
  EXPECT_EQ(Read(file), "deep");
  EXPECT_EQ(platform::CopyFileOverwrite(file, Join(folder, "copy.txt")), platform::kOk);
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(folder, &entries));
  EXPECT_EQ(entries.size(), 2u);
  uint64_t freeBytes = 0;
  EXPECT_TRUE(platform::DiskFreeBytes(folder, &freeBytes));
}

TEST_F(PlatformFilesTest, FreeSpaceVolumesAndAccess) {
  uint64_t freeBytes = 0;
  ASSERT_TRUE(platform::DiskFreeBytes(root_, &freeBytes));
  EXPECT_GT(freeBytes, 0u);
  uint64_t plannedFree = 0;
  EXPECT_TRUE(platform::DiskFreeBytes(Join(Path("not"), "yet"), &plannedFree));
  EXPECT_GT(plannedFree, 0u);
  if (platform::PathSeparator() == '\\') {
    // The migration names a drive by the text before its ":".
    for (const std::string& drive : {root_.substr(0, 1), root_.substr(0, 2)}) {
      uint64_t driveFree = 0;
      EXPECT_TRUE(platform::DiskFreeBytes(drive, &driveFree)) << drive;
      EXPECT_GT(driveFree, 0u) << drive;
    }
  }

  // A folder that does not exist yet belongs to the volume of its nearest ancestor.
  std::string here;
  std::string planned;
  ASSERT_TRUE(platform::VolumeOf(root_, &here));
  ASSERT_TRUE(platform::VolumeOf(Join(Path("not"), "yet"), &planned));
  EXPECT_FALSE(here.empty());
  EXPECT_EQ(here, planned);
  EXPECT_FALSE(platform::VolumeOf("relative", &here));

  Write(Path("rw.txt"), "x");
  EXPECT_TRUE(platform::IsReadWritable(root_));  // a folder counts
  EXPECT_TRUE(platform::IsReadWritable(Path("rw.txt")));
  EXPECT_FALSE(platform::IsReadWritable(Path("missing.txt")));
  EXPECT_FALSE(platform::IsReadWritable(""));
}

TEST(PlatformPathsTest, AbsolutePathsAndSeparators) {
  const bool windows = platform::PathSeparator() == '\\';
  struct Case {
    const char* path;
    bool absoluteOnWindows;
    bool absoluteOnPosix;
  };
  const Case cases[] = {
      {"C:\\x", true, false},   {"c:/x", true, false},     {"\\\\server\\share", true, false},
      {"/x", false, true},      {"x\\y", false, false},    {"C:x", false, false},
      {"", false, false},       {"relative", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::IsAbsolutePath(c.path), windows ? c.absoluteOnWindows : c.absoluteOnPosix)
        << c.path;
  }
  EXPECT_TRUE(platform::IsPathSeparator('/'));
  EXPECT_EQ(platform::IsPathSeparator('\\'), windows);
  EXPECT_TRUE(platform::IsAbsolutePath(platform::CurrentDirectory()));
}

TEST(PlatformIdentityTest, ClockAndIds) {
  const platform::LocalTime now = platform::NowLocal();
  EXPECT_GE(now.year, 2024);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LE(now.millisecond, 999);
  const int64_t millis = platform::NowUnixMillis();
  EXPECT_GT(millis, 1704067200000LL);  // after 2024-01-01
  EXPECT_LT(millis, 4102444800000LL);  // before 2100-01-01

  EXPECT_NE(platform::ProcessId(), 0u);
  uint64_t other = platform::ThreadId();
  std::thread worker([&other] {
    platform::SetCurrentThreadName("platformTest");
    other = platform::ThreadId();
  });
  worker.join();
  EXPECT_NE(other, platform::ThreadId());
}

}  // namespace
