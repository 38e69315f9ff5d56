// Exit at any moment: the driver program brings the adapter into each state of
// the table and its host returns from main, with and without shutting the
// adapter down first. The process must end by itself with status 0, within
// 2 s of the exit call (no wait for a plugin time-out of 5 s or 35 s), and
// without a sanitizer report (a report makes the status non-zero).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ExitRun {
  bool sawExiting = false;
  int status = -1;
  double secondsAfterExit = 0;
  std::string output;
};

ExitRun RunDriver(const std::string& point, const std::string& mode, const fs::path& scratch) {
  ExitRun run;
  const std::string command =
      std::string(IM_EXIT_DRIVER) + " " + point + " " + mode + " '" + scratch.string() + "' 2>&1";
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return run;
  std::chrono::steady_clock::time_point exitCall;
  char line[4096];
  while (std::fgets(line, sizeof line, child) != nullptr) {
    if (!run.sawExiting && std::string(line) == "exiting\n") {
      run.sawExiting = true;
      exitCall = std::chrono::steady_clock::now();
    } else {
      run.output += line;
    }
  }
  const int status = pclose(child);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.secondsAfterExit =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - exitCall).count();
  return run;
}

TEST(ExitTest, EveryExitPointEndsAtOnceWithStatusZero) {
  const char* const points[] = {"store-wait",     "chat-wait",        "upload-wait", "migration",
                                "host-in-export", "plugin-callbacks", "everything"};
  for (const char* point : points) {
    for (const char* mode : {"exit", "shutdown"}) {
      // The process id keeps two runs of this test (two build trees) apart.
      const fs::path scratch = fs::temp_directory_path() / ("im_exit_" + std::to_string(getpid()) +
                                                            "_" + point + "_" + mode);
      fs::remove_all(scratch);
      fs::create_directories(scratch);
      const ExitRun run = RunDriver(point, mode, scratch);
      const std::string row = std::string(point) + " / " + mode;
      EXPECT_TRUE(run.sawExiting) << row << "\n" << run.output;
      EXPECT_EQ(run.status, 0) << row << "\n" << run.output;
      // A generous bound that still tells an exit from a plugin time-out.
      EXPECT_LT(run.secondsAfterExit, 2.0) << row;
      fs::remove_all(scratch);
    }
  }
}

}  // namespace
