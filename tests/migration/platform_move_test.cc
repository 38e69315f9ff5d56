// The file move and the disk queries the migration relies on: never replace,
// never lose, within one volume and across two.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "platform/Platform.h"
#include "tests/migration/MigrationHarness.h"

namespace {

namespace fs = std::filesystem;
using migtest::ContentFor;
using migtest::ReadFile;
using migtest::ScratchDir;
using migtest::WriteFile;

const char kSecondVolume[] = "/dev/shm";

// A scratch folder on another volume than the temporary folder, or none.
bool HaveSecondVolume() {
  std::string a;
  std::string b;
  return platform::VolumeOf(fs::temp_directory_path().string(), &a) &&
         platform::VolumeOf(kSecondVolume, &b) && a != b;
}

struct MoveCase {
  const char* name;
  bool crossVolume;
  bool destinationExists;
  bool sourceExists;
  bool destinationFolderExists;
  int expected;
};

// A missing destination folder is "file not found" on POSIX and "path not
// found" on Windows; both mean the same to the migration.
bool SameOutcome(int actual, int expected) {
  if (expected == platform::kErrFileNotFound) {
    return actual == platform::kErrFileNotFound || actual == platform::kErrPathNotFound;
  }
  return actual == expected;
}

TEST(PlatformMove, NeverReplacesAndKeepsTheFileWholeAtOneEnd) {
  const MoveCase cases[] = {
      {"same volume", false, false, true, true, platform::kOk},
      {"same volume, destination exists", false, true, true, true, platform::kErrAlreadyExists},
      {"same volume, no source", false, false, false, true, platform::kErrFileNotFound},
      {"same volume, no destination folder", false, false, true, false, platform::kErrFileNotFound},
      {"across volumes", true, false, true, true, platform::kOk},
      {"across volumes, destination exists", true, true, true, true, platform::kErrAlreadyExists},
      {"across volumes, no destination folder", true, false, true, false,
       platform::kErrFileNotFound},
  };
  const bool twoVolumes = HaveSecondVolume();
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.crossVolume && !twoVolumes) continue;  // no second volume here
    ScratchDir from;
    ScratchDir to(c.crossVolume ? kSecondVolume : "");
    const std::string content = ContentFor("payload", 200000);
    const std::string source = from.path() + "/file";
    const std::string destination =
        c.destinationFolderExists ? to.path() + "/file" : to.path() + "/missing/file";
    if (c.sourceExists) WriteFile(source, content);
    if (c.destinationExists) WriteFile(destination, "existing");
    const auto mtime = fs::file_time_type::clock::now() - std::chrono::hours(240);
    if (c.sourceExists) fs::last_write_time(source, mtime);

    const int result = platform::MoveFileNoReplace(source, destination);
    EXPECT_TRUE(SameOutcome(result, c.expected)) << "result " << result;
    if (c.expected == platform::kOk) {
      EXPECT_FALSE(fs::exists(source));
      EXPECT_EQ(ReadFile(destination), content);
      // Within a second: not every file system (nor every C++ runtime setting
      // the time) keeps finer times.
      EXPECT_LE(std::chrono::abs(fs::last_write_time(destination) - mtime), std::chrono::seconds(1));
    } else if (c.sourceExists) {
      EXPECT_EQ(ReadFile(source), content);
    }
    if (c.destinationExists) {
      EXPECT_EQ(ReadFile(destination), "existing");
    }
    // No temporary copy is left beside the destination.
    const auto entries = std::distance(fs::directory_iterator(to.path()), {});
    EXPECT_EQ(entries, c.destinationExists || c.expected == platform::kOk ? 1 : 0);
  }
}

}  // namespace
