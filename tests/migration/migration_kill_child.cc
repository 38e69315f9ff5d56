// Runs one picture-folder migration through the command processor and exits
// with 0 when it reports "finish" without errors. With a third argument it
// kills itself (SIGKILL, no clean-up of any kind) that many microseconds after
// starting, wherever the run happens to be.
//   migration_kill_child <origin> <destination> [killAfterMicros]
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/migration/MigrationHarness.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;  // see the usage above
  if (argc > 3) {
    const auto after = std::chrono::microseconds(std::strtoll(argv[3], nullptr, 10));
    std::thread([after] {
      std::this_thread::sleep_for(after);  // the kill point itself, not a wait for a condition
      std::raise(SIGKILL);
    }).detach();
  }
  migtest::Send(migtest::StartRequest(argv[1], argv[2], 0));
  // Waits for the status and for the run's thread to end (it is still giving
  // up its run state when the status comes).
  const migtest::RunLog log = migtest::CollectRun();
  const bool clean = log.status.size() == 1 && log.status[0]["status"] == "finish" &&
                     log.status[0]["errorCount"] == 0;
  return clean ? 0 : 1;
}
