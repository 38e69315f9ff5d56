// The file move the migration relies on: never replace, never lose, within one
// volume and across two, on volumes without a no-replace rename or hard links,
// and when a copy fails or its source changes on the way.
#include <gtest/gtest.h>

#include <cstdlib>
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

// A folder on another volume than the temporary folder: the one the test
// script names (two Wine drives on different host folders), else /dev/shm.
std::string SecondVolume() {
  const char* named = std::getenv("IM_TEST_SECOND_VOLUME");
  const std::string candidate = named != nullptr ? named : "/dev/shm";
  std::string a;
  std::string b;
  const bool differ = platform::VolumeOf(fs::temp_directory_path().string(), &a) &&
                      platform::VolumeOf(candidate, &b) && a != b;
  return differ ? candidate : std::string();
}

enum class Existing { kNone, kOther, kWholeCopy, kSameBytesOtherTime };

struct MoveCase {
  const char* name;
  bool crossVolume;             // a real second volume
  bool forcedCopy;              // every rename reports another volume
  bool noRename;                // the volume refuses the no-replace rename
  bool noLinks;                 // ... and hard links
  Existing existing;            // what the destination holds before
  bool sourceExists;
  bool destinationFolderExists;
  int64_t failCopyAfter;        // -1: the copy does not fail
  bool writerAtWork;            // the source is open for writing and grows
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

constexpr int kOk = platform::kOk;
constexpr int kExists = platform::kErrAlreadyExists;
constexpr int kNotFound = platform::kErrFileNotFound;
constexpr Existing kNone = Existing::kNone;
constexpr Existing kOther = Existing::kOther;

TEST(PlatformMove, NeverReplacesAndKeepsTheFileWholeAtOneEnd) {
  const MoveCase cases[] = {
      {"same volume", false, false, false, false, kNone, true, true, -1, false, kOk},
      {"same volume, destination exists", false, false, false, false, kOther, true, true, -1,
       false, kExists},
      {"same volume, no source", false, false, false, false, kNone, false, true, -1, false,
       kNotFound},
      {"same volume, no destination folder", false, false, false, false, kNone, true, false, -1,
       false, kNotFound},
      {"no no-replace rename: a link", false, false, true, false, kNone, true, true, -1, false,
       kOk},
      {"no rename nor links: exclusive copy", false, false, true, true, kNone, true, true, -1,
       false, kOk},
      {"no rename nor links, destination exists", false, false, true, true, kOther, true, true, -1,
       false, kExists},
      {"across volumes", true, false, false, false, kNone, true, true, -1, false, kOk},
      {"across volumes, destination exists", true, false, false, false, kOther, true, true, -1,
       false, kExists},
      {"across volumes, no destination folder", true, false, false, false, kNone, true, false, -1,
       false, kNotFound},
      {"across volumes, the copy fails", true, false, false, false, kNone, true, true, 65536,
       false, platform::kErrDiskFull},
      {"copy", false, true, false, false, kNone, true, true, -1, false, kOk},
      {"copy, the copy fails", false, true, false, false, kNone, true, true, 65536, false,
       platform::kErrDiskFull},
      {"copy, a writer changes the source", false, true, false, false, kNone, true, true, -1, true,
       platform::kErrSharingViolation},
      {"copy, no rename nor links", false, true, true, true, kNone, true, true, -1, false, kOk},
      // A killed run had put the whole copy in place but not removed the source.
      {"destination is the whole copy", false, false, false, false, Existing::kWholeCopy, true,
       true, -1, false, kOk},
      {"destination has the bytes but another time", false, false, false, false,
       Existing::kSameBytesOtherTime, true, true, -1, false, kExists},
  };
  const std::string second = SecondVolume();
  const std::string content = ContentFor("payload", 200000);
  const auto mtime = fs::file_time_type::clock::now() - std::chrono::hours(240);
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.crossVolume && second.empty()) continue;  // no second volume here
    ScratchDir from;
    ScratchDir to(c.crossVolume ? second : "");
    const std::string source = from.path() + "/file";
    const std::string folder = c.destinationFolderExists ? to.path() : to.path() + "/missing";
    const std::string destination = folder + "/file";
    if (c.sourceExists) {
      WriteFile(source, content);
      fs::last_write_time(source, mtime);
    }
    std::string existing = c.existing == kOther ? "existing" : content;
    if (c.existing != kNone) {
      WriteFile(destination, existing);
      fs::last_write_time(destination, c.existing == Existing::kWholeCopy ? fs::last_write_time(source)
                                                                          : mtime - std::chrono::hours(1));
    }
    std::FILE* writer = c.writerAtWork ? platform::OpenFile(source, "ab") : nullptr;
    platform::FileFaultsForTest faults;
    faults.treatAsOtherVolume = c.forcedCopy;
    faults.refuseNoReplaceRename = c.noRename;
    faults.refuseHardLinks = c.noLinks;
    faults.failCopyAfterBytes = c.failCopyAfter;
    if (writer != nullptr) {
      faults.duringCopy = [writer](const std::string&) {
        std::fputs("more", writer);
        std::fflush(writer);
      };
    }
    platform::SetFileFaultsForTest(faults);
    const int result = platform::MoveFileNoReplace(source, destination);
    platform::SetFileFaultsForTest({});
    if (writer != nullptr) std::fclose(writer);

    EXPECT_TRUE(SameOutcome(result, c.expected)) << "result " << result;
    if (c.expected == kOk) {
      EXPECT_FALSE(fs::exists(source));
      EXPECT_EQ(ReadFile(destination), content);
      // Within a second: not every file system (nor every C++ runtime setting
      // the time) keeps finer times.
      EXPECT_LE(std::chrono::abs(fs::last_write_time(destination) - mtime), std::chrono::seconds(1));
    } else if (c.sourceExists) {
      // Whole at the origin; a writer's bytes are all there (on Windows the
      // writer's open handle keeps the copy from starting at all).
      const std::string kept = ReadFile(source);
      EXPECT_TRUE(kept == content || (c.writerAtWork && kept == content + "more")) << kept.size();
    }
    if (c.existing != kNone && c.expected != kOk) {
      EXPECT_EQ(ReadFile(destination), existing);
    }
    // No temporary copy, and nothing from a failed copy, is left beside the destination.
    std::error_code ignored;
    const auto entries = std::distance(fs::directory_iterator(folder, ignored), {});
    EXPECT_EQ(entries, c.existing != kNone || c.expected == kOk ? 1 : 0);
  }
}

}  // namespace
