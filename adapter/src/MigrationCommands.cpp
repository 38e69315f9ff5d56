#include "adapter/src/MigrationCommands.h"

#include <condition_variable>
#include <exception>
#include <future>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "adapter/src/ImAdapterCmd.h"
#include "adapter/src/fileMigrationWorker.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"

namespace {

const char kStartup[] = "ImAdapterCmd::migrationFileStartup";
const char kShutdown[] = "ImAdapterCmd::migrationFileShutdown";
const char kThread[] = "migrationFileThread";

// Counts the migration threads alive, so that shutdown and tests can wait for
// them to end.
class LiveThreads {
 public:
  void Add() {
    std::lock_guard<std::mutex> guard(lock_);
    ++count_;
  }
  void Remove() {
    std::lock_guard<std::mutex> guard(lock_);
    --count_;
    changed_.notify_all();
  }
  bool WaitFor(std::chrono::milliseconds timeout, int maxAlive) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return count_ <= maxAlive; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int count_ = 0;
};

LiveThreads& Live() {
  static LiveThreads live;
  return live;
}

// Gives the run state back when the run ends, however it ends.
class RunClaim {
 public:
  explicit RunClaim(uint64_t runId) : runId_(runId) {}
  ~RunClaim() { fileMigrationWorker::setMigFileThreadFinish(runId_); }
  RunClaim(const RunClaim&) = delete;
  RunClaim& operator=(const RunClaim&) = delete;

 private:
  uint64_t runId_;
};

void RunOneMigration(const Json::Value& request, ImAdapterCmd& cmd) {
  uint64_t runId = 0;
  if (fileMigrationWorker::checkMigFileThreadIsRuning(&runId)) return;
  RunClaim claim(runId);
  fileMigrationWorker worker(request, cmd, runId);
  worker.run();
}

// The migration thread: waits until the command's reply is out, runs one
// migration and never lets anything escape. The arguments are moved out of the
// thread's own storage so that nothing of the run outlives the count of live
// threads.
void MigrationThreadBody(Json::Value&& requestArg, ImAdapterCmd* cmd,
                         std::shared_future<void>&& goArg) {
  platform::SetCurrentThreadName("migration");
  {
    const Json::Value request = std::move(requestArg);
    const std::shared_future<void> go = std::move(goArg);
    try {
      go.wait();
      RunOneMigration(request, *cmd);
    } catch (const std::exception& e) {
      IMLOG(kLogErr, kThread, std::string("migration aborted, exception: ") + e.what());
    } catch (...) {
      IMLOG(kLogErr, kThread, "migration aborted, unknown exception");
    }
  }
  Live().Remove();
}

}  // namespace

void RunMigrationFileStartup(ImAdapterCmd& cmd, Json::Value& request) {
  IMLOG(kLogInf, kStartup, "Enter...");
  std::promise<void> replied;
  std::shared_future<void> go = replied.get_future().share();
  Live().Add();
  try {
    std::thread(MigrationThreadBody, Json::Value(request), &cmd, go).detach();
  } catch (const std::system_error& e) {
    Live().Remove();
    IMLOG(kLogErr, kStartup, std::string("cannot start the migration thread: ") + e.what());
    cmd.SendRspToHost(-1, Json::Value(), request, "migrationFileStartup");
    IMLOG(kLogInf, kStartup, "Leave...");
    return;
  }
  cmd.SendRspToHost(0, Json::Value(), request, "migrationFileStartup");
  replied.set_value();
  IMLOG(kLogInf, kStartup, "Leave...");
}

void RunMigrationFileShutdown(ImAdapterCmd& cmd, Json::Value& request) {
  IMLOG(kLogInf, kShutdown, "Enter...");
  fileMigrationWorker::migrationFileShutdown();
  cmd.SendRspToHost(0, Json::Value(), request, "migrationFileShutdown");
  IMLOG(kLogInf, kShutdown, "Leave...");
}

bool WaitForMigrationThreadsFor(std::chrono::milliseconds timeout, int maxAlive) {
  return Live().WaitFor(timeout, maxAlive);
}
