// The file move the migration relies on: never replace, never lose, within one
// volume and across two, on volumes without a no-replace rename or hard links,
// and when a copy fails or its source changes on the way.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/Platform.h"
#include "tests/migration/MigrationHarness.h"

namespace {

namespace fs = std::filesystem;
using migtest::ReadFile;

// How a case sets up its move, one letter each: x a real second volume,
// c every rename reports another volume (so the data is copied), r the volume
// refuses the no-replace rename, l ... and hard links, d no
// destination folder, f the copy fails after 64 KB, w a writer holds the
// source open and adds to it during the copy; and what the destination holds
// before: o another file, W the whole copy (a killed run had put it in place
// but not removed the source), T the same bytes with another time.
struct MoveCase {
  const char* name;
  std::string how;
  int expected;
  bool Has(char letter) const { return how.find(letter) != std::string::npos; }
};

TEST(PlatformMove, NeverReplacesAndKeepsTheFileWholeAtOneEnd) {
  const int ok = platform::kOk, exists = platform::kErrAlreadyExists,
            notFound = platform::kErrFileNotFound, diskFull = platform::kErrDiskFull;
  const MoveCase cases[] = {
      {"same volume", "", ok},
      {"same volume, destination exists", "o", exists},
      {"same volume, no destination folder", "d", notFound},
      {"no no-replace rename: a link", "r", ok},
      {"no rename nor links: exclusive copy", "rl", ok},
      {"no rename nor links, destination exists", "rlo", exists},
      {"across volumes", "x", ok},
      {"across volumes, destination exists", "xo", exists},
      {"across volumes, no destination folder", "xd", notFound},
      {"across volumes, the copy fails", "xf", diskFull},
      {"copy", "c", ok},
      {"copy, the copy fails", "cf", diskFull},
      {"copy, a writer changes the source", "cw", platform::kErrSharingViolation},
      {"copy, no rename nor links", "crl", ok},
      {"destination is the whole copy", "W", ok},
      {"destination has the bytes but another time", "T", exists},
  };
  const migtest::SecondVolume secondVolume;
  const std::string& second = secondVolume.base();
  const std::string content = migtest::ContentFor("payload", 200000);
  const auto mtime = fs::file_time_type::clock::now() - std::chrono::hours(240);
  // The listed variant skips only the up-front check: every case ends the same.
  using Move = int (*)(const std::string&, const std::string&);
  for (Move move : {Move(&platform::MoveFileNoReplace), Move(&platform::MoveListedFileNoReplace)})
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (move == &platform::MoveFileNoReplace ? "" : ", listed"));
    if (c.Has('x') && second.empty()) continue;  // no second volume here
    migtest::ScratchDir from;
    migtest::ScratchDir to(c.Has('x') ? second : "");
    const std::string source = from.path() + "/file";
    const std::string folder = c.Has('d') ? to.path() + "/missing" : to.path();
    const std::string destination = folder + "/file";
    migtest::WriteFile(source, content);
    fs::last_write_time(source, mtime);
    const bool existed = c.Has('o') || c.Has('W') || c.Has('T');
    const std::string existing = c.Has('o') ? "existing" : content;
    if (existed) {
      migtest::WriteFile(destination, existing);
      fs::last_write_time(destination, c.Has('T') ? mtime - std::chrono::hours(1) : mtime);
    }
    std::FILE* writer = c.Has('w') ? platform::OpenFile(source, "ab") : nullptr;
    platform::FileFaultsForTest faults;
    faults.treatAsOtherVolume = c.Has('c');
    faults.refuseNoReplaceRename = c.Has('r');
    faults.refuseHardLinks = c.Has('l');
    faults.failCopyAfterBytes = c.Has('f') ? 65536 : -1;
    faults.duringCopy = [writer](const std::string&) {
      if (writer != nullptr && std::fputs("more", writer) >= 0) std::fflush(writer);
    };
    platform::SetFileFaultsForTest(faults);
    const int result = move(source, destination);
    platform::SetFileFaultsForTest({});
    if (writer != nullptr) std::fclose(writer);

    // A missing destination folder is "file not found" on POSIX and "path not
    // found" on Windows; both mean the same to the migration.
    EXPECT_TRUE(result == c.expected || (c.Has('d') && result == platform::kErrPathNotFound))
        << "result " << result;
    if (c.expected == ok) {
      EXPECT_FALSE(fs::exists(source));
      EXPECT_EQ(ReadFile(destination), content);
      // Within a second: not every file system (nor every C++ runtime setting
      // the time) keeps finer times.
      EXPECT_LE(std::chrono::abs(fs::last_write_time(destination) - mtime),
                std::chrono::seconds(1));
    } else {
      // Whole at the origin; a writer's bytes are all there (on Windows the
      // writer's open handle keeps the copy from starting at all).
      const std::string kept = ReadFile(source);
      EXPECT_TRUE(kept == content || (c.Has('w') && kept == content + "more")) << kept.size();
    }
    if (existed && c.expected != ok) {
      EXPECT_EQ(ReadFile(destination), existing);
    }
    // No temporary copy, and nothing from a failed copy, is left beside the destination.
    EXPECT_EQ(migtest::FileNames(folder).size(), existed || c.expected == ok ? 1u : 0u);
  }
}

}  // namespace
