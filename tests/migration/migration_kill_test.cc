// A migration process killed at random moments, across two volumes: every file
// must be whole at its origin or at its destination after each kill (a partial
// copy may exist only under a temporary name), and a new run completes the move:
// every file whole in exactly one place, no temporary copy left. A FIFO and a
// temporary-named file at the origin are never opened nor moved.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/migration/MigrationHarness.h"

namespace {

namespace fs = std::filesystem;

const char* const kFolders[] = {"Audio", "ScreenShot"};
constexpr int kFilesPerFolder = 40;
constexpr size_t kFileSize = 96 * 1024;
constexpr int kRounds = 12;

const char kStaleTemporary[] = ".im_adapter_move_1_1_1.tmp";

// The files to move, plus what must never move: a FIFO (a run that opened it
// would block for ever) and a temporary copy at the origin; and a temporary
// copy that a killed run left at the destination.
void Populate(const std::string& origin, const std::string& destination) {
  for (const char* folder : kFolders) {
    const std::string from = origin + "/ReceiveFiles/" + folder + "/";
    for (int i = 0; i < kFilesPerFolder; ++i) {
      migtest::WriteFile(from + "k" + std::to_string(i),
                         migtest::ContentFor("k" + std::to_string(i), kFileSize));
    }
    migtest::WriteFile(from + kStaleTemporary, "not a user file");
    ASSERT_EQ(std::system(("mkfifo '" + from + "fifo'").c_str()), 0);
    migtest::WriteFile(destination + "/ReceiveFiles/" + folder + "/" + kStaleTemporary, "stale");
  }
}

// Runs the child; killAfter < 0 lets it run to its end. Returns its wait status.
int RunChild(const std::string& origin, const std::string& destination,
             std::chrono::microseconds killAfter) {
  std::string command =
      std::string(IM_MIGRATION_KILL_CHILD) + " '" + origin + "' '" + destination + "'";
  if (killAfter.count() >= 0) command += " " + std::to_string(killAfter.count());
  return std::system(command.c_str());
}

struct Census {
  int atOrigin = 0, atDestination = 0, temporaries = 0;  // files only there; temporary copies
};

// Checks that every file is whole at one end at least, that anything else in
// the destination folders is a temporary copy, and that what never moves is
// still at the origin.
Census CheckWhole(const std::string& origin, const std::string& destination) {
  Census census;
  for (const char* folder : kFolders) {
    const std::string from = origin + "/ReceiveFiles/" + folder + "/";
    const std::string to = destination + "/ReceiveFiles/" + folder + "/";
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const std::string name = "k" + std::to_string(i);
      SCOPED_TRACE(std::string(folder) + "/" + name);
      const std::string whole = migtest::ContentFor(name, kFileSize);
      bool inOrigin = false, inDestination = false;
      const std::string a = migtest::ReadFile(from + name, &inOrigin);
      const std::string b = migtest::ReadFile(to + name, &inDestination);
      EXPECT_TRUE(!inOrigin || a == whole) << "partial or damaged at origin: " << a.size();
      EXPECT_TRUE(!inDestination || b == whole)
          << "partial or damaged at destination: " << b.size();
      EXPECT_TRUE(inOrigin || inDestination) << "lost";
      census.atOrigin += inOrigin && !inDestination;
      census.atDestination += inDestination && !inOrigin;
    }
    EXPECT_TRUE(fs::is_fifo(from + "fifo"));
    EXPECT_EQ(migtest::ReadFile(from + kStaleTemporary), "not a user file");
    for (const std::string& name : migtest::FileNames(to)) {
      const bool temporary = platform::IsTemporaryName(name);
      census.temporaries += temporary;
      EXPECT_TRUE(temporary || name[0] == 'k') << "unexpected " << name;
    }
  }
  return census;
}

TEST(MigrationKill, EveryFileStaysWholeAtOneEndWhenTheRunIsKilled) {
  migtest::SecondVolume second;
  if (second.base().empty()) {
    GTEST_SKIP() << "no second filesystem: /dev/shm is not one, no tmpfs can be mounted";
  }
  std::mt19937 random(std::random_device{}());
  int interrupted = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Odd rounds move from the second volume back to the temporary folder's.
    migtest::ScratchDir disk;
    migtest::ScratchDir memory(second.base());
    const std::string origin = (round % 2 ? memory.path() : disk.path()) + "/old";
    const std::string destination = (round % 2 ? disk.path() : memory.path()) + "/new";
    Populate(origin, destination);

    // Round 0 runs to its end and tells how long a run takes; every other round
    // is killed at a random moment within that time first.
    static std::chrono::microseconds runTime(0);
    if (round > 0) {
      std::uniform_int_distribution<long long> at(0, runTime.count());
      const int status = RunChild(origin, destination, std::chrono::microseconds(at(random)));
      Census afterKill = CheckWhole(origin, destination);
      interrupted +=
          status != 0 && afterKill.atOrigin > 0 && afterKill.atOrigin < 2 * kFilesPerFolder;
    }
    // A full run moves what a killed one left, removes its temporary copies,
    // and ends the moves it had put in place without removing their sources.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunChild(origin, destination, std::chrono::microseconds(-1)), 0);
    if (round == 0) {
      runTime = std::chrono::duration_cast<std::chrono::microseconds>(
          std::chrono::steady_clock::now() - start);
    }
    Census done = CheckWhole(origin, destination);
    EXPECT_EQ(done.atDestination, 2 * kFilesPerFolder);
    EXPECT_EQ(done.temporaries, 0);
  }
  RecordProperty("interruptedRounds", interrupted);
}

}  // namespace
