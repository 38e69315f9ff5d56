#include "adapter/src/migration/MigrationCommands.h"

#include <exception>
#include <future>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "adapter/src/migration/MigrationRequest.h"
#include "adapter/src/migration/MigrationServices.h"
#include "adapter/src/migration/fileMigrationWorker.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/CondVar.h"
#include "util/Mutex.h"

namespace {

const char kStartup[] = "ImAdapterCmd::migrationFileStartup";
const char kShutdown[] = "ImAdapterCmd::migrationFileShutdown";
const char kThread[] = "migrationFileThread";
const char kStartupDescription[] = "migrationFileStartup";

// Counts the migration threads alive, so that shutdown and tests can wait for
// them to end.
class LiveThreads {
 public:
  void Add() {
    util::MutexLock guard(lock_);
    ++count_;
  }
  void Remove() {
    util::MutexLock guard(lock_);
    --count_;
    changed_.NotifyAll();
  }
  bool WaitFor(std::chrono::milliseconds timeout, int maxAlive) {
    util::MutexLock guard(lock_);
    return changed_.WaitFor(lock_, timeout, [&]() REQUIRES(lock_) { return count_ <= maxAlive; });
  }

 private:
  util::Mutex lock_;
  util::CondVar changed_;
  int count_ GUARDED_BY(lock_) = 0;
};

LiveThreads& Live() {
  // Never destroyed: a migration thread may still end while the process exits.
  static LiveThreads* const live = new LiveThreads();
  return *live;
}

// Held by a migration thread while it runs: a run that was stopped (or has
// reported its end) and is still finishing never overlaps the next one.
util::Mutex& RunGate() {
  static util::Mutex* const gate = new util::Mutex();
  return *gate;
}

// Takes the run gate, telling the test hook when this run has to wait for the
// run before.
void TakeRunGate() ACQUIRE(RunGate()) {
  if (RunGate().TryLock()) return;
  MigrationServices::AtRunPoint(MigrationServices::RunPoint::kWaitsForRunBefore);
  RunGate().Lock();
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

// The migration thread: waits until the command's reply is out and the run
// before it has ended, runs the migration it was claimed for and never lets
// anything escape. The arguments are moved out of the thread's own storage so
// that nothing of the run outlives the count of live threads.
void MigrationThreadBody(MigrationRequest&& requestArg, HostChannel* channel, uint64_t runId,
                         std::shared_future<void>&& goArg) {
  platform::SetCurrentThreadName("migration");
  {
    const MigrationRequest request = std::move(requestArg);
    const std::shared_future<void> go = std::move(goArg);
    RunClaim claim(runId);
    try {
      go.wait();
      TakeRunGate();
      util::MutexLock gate(RunGate(), util::AdoptLock());
      fileMigrationWorker worker(request, *channel, runId);
      worker.run();
      MigrationServices::AtRunPoint(MigrationServices::RunPoint::kEnded);
    } catch (const std::exception& e) {
      IMLOG(kLogErr, kThread, std::string("migration aborted, exception: ") + e.what());
    } catch (...) {
      IMLOG(kLogErr, kThread, "migration aborted, unknown exception");
    }
  }
  Live().Remove();
}

}  // namespace

void RunMigrationFileStartup(HostChannel& channel, const Json::Value& request) {
  IMLOG(kLogInf, kStartup, "Enter...");
  StartMigration(channel, MigrationRequest::Read(request));
  IMLOG(kLogInf, kStartup, "Leave...");
}

void StartMigration(HostChannel& channel, MigrationRequest request) {
  // The run is claimed here, before the reply, so that a command 5 right
  // after this one finds it, and a second command 4 is turned away (it gets
  // its result 0 all the same, as the host expects).
  uint64_t runId = 0;
  if (fileMigrationWorker::checkMigFileThreadIsRuning(&runId)) {
    channel.SendRspToHost(0, Json::Value(), request.envelope, kStartupDescription);
    return;
  }
  // The reply goes out after the request has been moved to the thread.
  const RequestEnvelope envelope = request.envelope;
  std::promise<void> replied;
  std::shared_future<void> go = replied.get_future().share();
  Live().Add();
  try {
    std::thread(MigrationThreadBody, std::move(request), &channel, runId, go).detach();
  } catch (const std::system_error& e) {
    Live().Remove();
    fileMigrationWorker::setMigFileThreadFinish(runId);
    IMLOG(kLogErr, kStartup, std::string("cannot start the migration thread: ") + e.what());
    channel.SendRspToHost(-1, Json::Value(), envelope, kStartupDescription);
    return;
  }
  channel.SendRspToHost(0, Json::Value(), envelope, kStartupDescription);
  replied.set_value();
}

void RunMigrationFileShutdown(HostChannel& channel, const Json::Value& request) {
  IMLOG(kLogInf, kShutdown, "Enter...");
  StopMigration(channel, RequestEnvelope::Read(request));
  IMLOG(kLogInf, kShutdown, "Leave...");
}

void StopMigration(HostChannel& channel, const RequestEnvelope& request) {
  fileMigrationWorker::migrationFileShutdown();
  channel.SendRspToHost(0, Json::Value(), request, "migrationFileShutdown");
}

bool WaitForMigrationThreadsFor(std::chrono::milliseconds timeout, int maxAlive) {
  return Live().WaitFor(timeout, maxAlive);
}
