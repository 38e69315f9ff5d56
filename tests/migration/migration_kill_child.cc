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

#include "adapter/src/MigrationCommands.h"
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
  for (;;) {
    Json::Value message = migtest::Next(std::chrono::milliseconds(60000));
    if (message.isNull()) return 3;
    const Json::Value& param = message["param"];
    if (param.isObject() && param["notifyType"].asString() == "statusNotify") {
      const bool clean = param["status"].asString() == "finish" && param["errorCount"].asInt() == 0;
      // The thread is still giving up its run state: let it end before exit.
      if (!WaitForMigrationThreadsFor(std::chrono::milliseconds(60000))) return 4;
      return clean ? 0 : 1;
    }
  }
}
