// The file services of the platform layer, as the forwarding, migration and
// logging code rely on them: result codes of links, copies and moves, listings,
// UTF-8 names, long paths, free space and volumes. The same expectations hold on
// every platform; the few that differ read PathSeparator().
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"

namespace {

using testfiles::Read;
using testfiles::Write;

std::string Join(const std::string& folder, const std::string& name) {
  return folder + platform::PathSeparator() + name;
}

// A scratch folder per test under the system's temporary folder, removed at the end.
class PlatformFilesTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetFileFaultsForTest({}); }

  std::string Path(const std::string& name) const { return Join(root_, name); }

  std::vector<std::string> Listed(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    EXPECT_TRUE(platform::ListDirectory(folder, &entries));
    std::vector<std::string> names;
    for (const platform::DirEntry& entry : entries) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  const testfiles::ScratchDir scratch_;
  const std::string root_ = scratch_.path();
};

TEST_F(PlatformFilesTest, LinkCopyMoveRenameAndRemoveKeepUtf8NamesAndReportTheAdaptersCodes) {
  const std::vector<std::string> names = {
      "plain.txt",
      "\xe6\x8a\xa5\xe5\x91\x8a \xc3\xbc.txt",                 // CJK, a blank and a Latin-1 letter
      "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.png",  // Cyrillic
      "\xf0\x9f\x98\x80 smile.jpg",  // outside the basic plane (a surrogate pair)
  };
  std::vector<std::string> expected;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string taken = Path("taken " + name);
    const std::string moved = Path("moved " + name);
    Write(Path(name), name);
    Write(taken, "taken");
    // Links never replace; copies and renames do. (The move that never replaces
    // has its own table in the migration tests, within and across volumes.)
    const int linked = platform::CreateHardLink(Path(name), taken);
    EXPECT_TRUE(linked == platform::kErrAlreadyExists || linked == platform::kErrFileExists);
    EXPECT_EQ(Read(taken), "taken");
    ASSERT_EQ(platform::CreateHardLink(Path(name), Path("link " + name)), platform::kOk);
    EXPECT_EQ(Read(Path("link " + name)), name);
    EXPECT_EQ(platform::CopyFileOverwrite(Path(name), taken), platform::kOk);
    EXPECT_EQ(platform::MoveFileNoReplace(taken, moved), platform::kOk);
    EXPECT_EQ(Read(moved), name);
    Write(Path("other " + name), "other");
    EXPECT_EQ(platform::RenameReplace(Path("other " + name), moved), platform::kOk);
    EXPECT_EQ(Read(moved), "other");
    EXPECT_EQ(platform::RemoveFile(moved), platform::kOk);
    for (const char* prefix : {"", "link "}) expected.push_back(prefix + name);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listed(root_), expected);
  EXPECT_EQ(platform::RemoveFile(Path("absent.txt")), platform::kErrFileNotFound);
}

TEST_F(PlatformFilesTest, ListingFoldersAndOnlyRegularFilesOpenedLinkedCopiedOrMoved) {
  Write(Path("empty.bin"), "");
  Write(Path("ten.bin"), std::string(10, 'x'));
  ASSERT_TRUE(platform::MakeDirectories(Path("sub")));
  Write(Join(Path("sub"), "inner.bin"), "not listed");
  std::vector<std::pair<std::string, int>> sources = {
      {Path("absent"), platform::kErrFileNotFound},
      {Path("sub"), platform::kErrNotRegularFile},
  };
  std::vector<std::string> expected = {"empty.bin=0", "sub/", "ten.bin=10"};
  if (platform::PathSeparator() == '/') {
    // Opening a FIFO for reading would block until a writer comes: never done.
    ASSERT_EQ(std::system(("mkfifo '" + Path("fifo") + "'").c_str()), 0);
    sources.emplace_back(Path("fifo"), platform::kErrNotRegularFile);
    sources.emplace_back("/dev/null", platform::kErrNotRegularFile);
    expected.insert(expected.begin() + 1, "fifo");
  }
  EXPECT_TRUE(platform::IsRegularFile(Path("ten.bin")));
  for (const auto& [path, code] : sources) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(platform::IsRegularFile(path));
    EXPECT_EQ(platform::OpenFile(path, "rb"), nullptr);
    EXPECT_EQ(platform::CreateHardLink(path, Path("link")), code);
    EXPECT_EQ(platform::CopyFileOverwrite(path, Path("copy")), code);
    EXPECT_EQ(platform::MoveFileNoReplace(path, Path("moved")), code);
    EXPECT_EQ(platform::PathExists(path), code != platform::kErrFileNotFound);
  }
  // Replaced, not appended to; nothing made by the refused calls, no temporary left.
  std::vector<platform::DirEntry> entries = {{"stale", false, false, 1}};
  ASSERT_TRUE(platform::ListDirectory(root_, &entries));
  std::vector<std::string> listed;  // "/" a folder, "=size" a file
  for (const platform::DirEntry& e : entries) {
    listed.push_back(e.name + (e.isDirectory ? "/" : "") +
                     (e.isRegular ? "=" + std::to_string(e.size) : ""));
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);
  EXPECT_FALSE(platform::ListDirectory(Path("missing"), &entries));
  EXPECT_TRUE(entries.empty());

  const std::string deep = Join(Join(Path("a"), "b"), "c");
  EXPECT_TRUE(platform::MakeDirectories(deep));
  EXPECT_TRUE(platform::MakeDirectories(deep));  // already there
  EXPECT_EQ(platform::MakeDirectory(deep), platform::kErrAlreadyExists);
  EXPECT_FALSE(platform::MakeDirectories(Join(Path("ten.bin"), "below")));  // a file in the way

  // Paths beyond 260 characters work like any other.
  std::string folder = root_;
  while (folder.size() < 300) folder = Join(folder, std::string(60, 'd'));
  ASSERT_TRUE(platform::MakeDirectories(folder)) << platform::LastErrorText();
  Write(Join(folder, "long.txt"), "deep");
  EXPECT_EQ(platform::CopyFileOverwrite(Join(folder, "long.txt"), Join(folder, "copy.txt")),
            platform::kOk);
  EXPECT_EQ(Read(Join(folder, "copy.txt")), "deep");
  EXPECT_EQ(Listed(folder).size(), 2u);
}

TEST_F(PlatformFilesTest, StaleTemporariesGoAndThoseOfARunningCopyStay) {
  EXPECT_TRUE(platform::IsTemporaryName(".im_adapter_move_7_8_9.tmp"));
  for (const char* name :
       {".im_adapter_move_.tmp", "im_adapter_move_7.tmp", ".im_adapter_move_7.tmp.txt"}) {
    EXPECT_FALSE(platform::IsTemporaryName(name)) << name;
  }
  Write(Path(".im_adapter_move_1_2_3.tmp"), "left by a killed run");
  Write(Path("user.txt"), "user data");
  int removedDuringCopy = -1;
  platform::FileFaultsForTest faults;
  faults.duringCopy = [&](const std::string&) {
    removedDuringCopy = platform::RemoveStaleTemporaries(root_);
  };
  platform::SetFileFaultsForTest(faults);
  EXPECT_EQ(platform::CopyFileOverwrite(Path("user.txt"), Path("copy.txt")), platform::kOk);
  EXPECT_EQ(removedDuringCopy, 1);
  EXPECT_EQ(Read(Path("copy.txt")), "user data");
  EXPECT_EQ(Listed(root_), (std::vector<std::string>{"copy.txt", "user.txt"}));

  // A copy that fails leaves the destination as it was, and no temporary.
  faults = {};
  faults.failCopyAfterBytes = 0;
  platform::SetFileFaultsForTest(faults);
  EXPECT_EQ(platform::CopyFileOverwrite(Path("user.txt"), Path("copy.txt")),
            platform::kErrDiskFull);
  EXPECT_EQ(platform::CopyFileOverwrite(Path("user.txt"), Path("new.txt")), platform::kErrDiskFull);
  EXPECT_EQ(Listed(root_), (std::vector<std::string>{"copy.txt", "user.txt"}));
  EXPECT_EQ(Read(Path("copy.txt")), "user data");
}

TEST_F(PlatformFilesTest, FreeSpaceVolumesAndAccess) {
  // A folder that does not exist yet belongs to the volume of its nearest ancestor.
  const std::string planned = Join(Path("not"), "yet");
  uint64_t freeBytes = 0;
  EXPECT_TRUE(platform::DiskFreeBytes(planned, &freeBytes));
  EXPECT_GT(freeBytes, 0u);
  if (platform::PathSeparator() == '\\') {
    // The migration names a drive by the text before its ":".
    for (const std::string& drive : {root_.substr(0, 1), root_.substr(0, 2)}) {
      EXPECT_TRUE(platform::DiskFreeBytes(drive, &freeBytes)) << drive;
    }
  }
  const auto volume = [](const std::string& path) {
    std::string name;
    EXPECT_TRUE(platform::VolumeOf(path, &name)) << path;
    return name;
  };
  EXPECT_FALSE(volume(root_).empty());
  EXPECT_EQ(volume(root_), volume(planned));
  std::string here;
  EXPECT_FALSE(platform::VolumeOf("relative", &here));
  // Under Wine the test script maps three drives: the first two on one host
  // folder (one volume, whatever the letters' case), the third on another.
  if (const char* letters = std::getenv("IM_TEST_WINE_DRIVES")) {  // e.g. "PQR"
    ASSERT_EQ(std::string(letters).size(), 3u);
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letters[1])));
    EXPECT_EQ(volume(letters[0] + std::string(":\\")), volume(lower + std::string(":\\not\\yet")));
    EXPECT_NE(volume(letters[0] + std::string(":\\")), volume(letters[2] + std::string(":\\")));
  }
  EXPECT_FALSE(platform::VolumeOf("", &here));

  Write(Path("rw.txt"), "x");
  for (const std::string& path : {root_, Path("rw.txt"), Path("missing.txt"), std::string()}) {
    EXPECT_EQ(platform::IsReadWritable(path), path == root_ || path == Path("rw.txt")) << path;
  }
}

TEST(PlatformPathsTest, OneRuleForNamesJoinedToFolders) {
  const std::vector<std::string> nowhere = {"", ".", "..", "a/b", "a\\b", std::string("a\0b", 3)};
  const std::vector<std::string> everywhere = {
      "report.txt", "a..b.png",  " leading",   "\xe6\x8a\xa5\xe5\x91\x8a.txt",
      "com0",       "COM10.txt", "console.txt"};
  // Reserved device names, stream colons, trailing dots and blanks, and the
  // characters Windows refuses in a name.
  const std::vector<std::string> posixOnly = {
      "notes 10:30.txt", "file:stream", "aux.c",     "AUX", "Nul.tar.gz", "con", "lpt9", "prn .txt",
      "COM\xc2\xb9",     "trailing.",   "trailing ", "a<b", "a>b",        "a|b", "a?b",  "a*b",
      "tab\there",       "a\"b"};
  const bool windows = platform::PathSeparator() == '\\';
  const std::string folder = windows ? "C:\\recv" : "/recv";
  for (const auto& [names, valid] :
       {std::make_pair(&nowhere, false), std::make_pair(&everywhere, true),
        std::make_pair(&posixOnly, !windows)}) {
    for (const std::string& name : *names) {
      SCOPED_TRACE(::testing::PrintToString(name));
      EXPECT_EQ(platform::IsValidFileName(name), valid);
      std::string joined = "unchanged";
      EXPECT_EQ(platform::JoinName(folder, name, &joined), valid);
      EXPECT_EQ(joined, valid ? Join(folder, name) : "unchanged");
    }
  }
  std::string joined;
  EXPECT_TRUE(platform::JoinName(Join(folder, ""), "a", &joined));
  EXPECT_EQ(joined, Join(folder, "a"));  // no doubled separator
  EXPECT_FALSE(platform::JoinName("", "a", &joined));
}

TEST(PlatformPathsTest, AbsolutePathsSeparatorsAndThreadIds) {
  const bool windows = platform::PathSeparator() == '\\';
  const struct {
    const char* path;
    bool onWindows;
    bool onPosix;
  } cases[] = {
      {"C:\\x", true, false}, {"c:/x", true, false},      {"\\\\server\\share", true, false},
      {"/x", false, true},    {"x\\y", false, false},     {"C:x", false, false},
      {"", false, false},     {"relative", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::IsAbsolutePath(c.path), windows ? c.onWindows : c.onPosix) << c.path;
  }
  EXPECT_EQ(platform::IsPathSeparator('\\'), windows);
  EXPECT_TRUE(platform::IsAbsolutePath(platform::CurrentDirectory()));

  uint64_t other = platform::ThreadId();
  std::thread([&other] { other = platform::ThreadId(); }).join();
  EXPECT_NE(other, platform::ThreadId());
}

}  // namespace
