#include "fuzz/support/AdapterHarness.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/migration/MigrationCommands.h"
#include "adapter/src/migration/MigrationServices.h"
#include "adapter/src/migration/fileMigrationWorker.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/service/ImAdapterService.h"
#include "fuzz/support/ScriptedPlugins.h"
#include "log/AdapterLog.h"
#include "tests/support/HubSync.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

// A migration may see a volume only inside the scratch folder; any other path
// has none, so the run fails before it creates or moves anything.
bool InsideScratch(const std::string& dir, const std::string& path) {
  return path.compare(0, dir.size(), dir) == 0 &&
         (path.size() == dir.size() || path[dir.size()] == '/') &&
         path.find("..") == std::string::npos;
}

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

// Scratch folders are named by process id. The fuzzer leaves through _Exit,
// past the exit handlers, so a run first removes the folders of ended runs.
const std::string kFolderPrefix = "im_fuzz_";

void RemoveFoldersOfEndedRuns(const fs::path& base) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(base, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, kFolderPrefix.size(), kFolderPrefix) != 0) continue;
    const std::string digits = name.substr(kFolderPrefix.size());
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (kill(pid, 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ignored);
  }
}

}  // namespace

AdapterHarness& AdapterHarness::Instance() {
  static AdapterHarness* instance = new AdapterHarness();  // lives as long as the process
  return *instance;
}

AdapterHarness::AdapterHarness() {
  // In memory where the system has such a folder: every run lays the folder out anew.
  const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  RemoveFoldersOfEndedRuns(base);
  dir_ = (base / (kFolderPrefix + std::to_string(getpid()))).string();
  std::error_code error;
  fs::remove_all(dir_, error);
  if (!fs::create_directory(dir_, error)) std::abort();
  ImAdapterCmd::Instance();
  ScriptedPlugins::Instance();
  const std::string dir = dir_;
  MigrationServices::SetDiskQueriesForTest(
      [dir](const std::string& path, std::string* volume) {
        if (!InsideScratch(dir, path)) return false;
        *volume = "fuzz-volume";
        return true;
      },
      [](const std::string&, uint64_t* freeBytes) {
        *freeBytes = uint64_t{1} << 40;  // plenty
        return true;
      });
  MigrationServices::SetReceivedFileQuery(MigrationServices::QueryReceivedFilesFromStore);
  // IM_FUZZ_LOG=<folder> writes the adapter's log there, to see what an input does.
  if (const char* log = std::getenv("IM_FUZZ_LOG")) AdapterLogOpen(3, 5, log, "im_adapter.log");
  ImAdapterCallback::Instance().Start();
  puller_ = std::thread([this] {
    while (!stopPulling_.load()) {
      std::free(ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::milliseconds(50)));
    }
  });
  // The puller stops (and the scratch folder goes) before the command processor
  // (a static built above) is destroyed at exit: exit handlers run in the
  // reverse order of registration.
  std::atexit([] {
    AdapterHarness& harness = Instance();
    harness.stopPulling_.store(true);
    harness.puller_.join();
    std::error_code ignored;
    fs::remove_all(harness.dir_, ignored);
  });
}

void AdapterHarness::Begin(std::vector<std::string> answers) {
  std::error_code error;
  home_ = fs::current_path(error);
  fs::current_path(dir_, error);
  if (error) std::abort();
  const fs::path dir(dir_);
  WriteFile(dir / "img/originalImgfiles/p.jpg", "\xff\xd8\xff\xe0 picture");
  WriteFile(dir / "img/ScreenShot/s.png", "\x89PNG shot");
  WriteFile(dir / "files/f.txt", "file");
  WriteFile(dir / "files/v.amr", "#!AMR");
  WriteFile(dir / "ReceiveFiles/Audio/a.amr", "#!AMR");
  WriteFile(dir / "ReceiveFiles/headImage/h.png", "\x89PNG head");
  ScriptedPlugins::Instance().Begin(std::move(answers));
}

void AdapterHarness::End() {
  fileMigrationWorker::migrationFileShutdown();
  WaitForMigrationThreadsFor(std::chrono::seconds(5));
  ScriptedPlugins::Instance().End();
  if (!hub_sync::DrainHub(std::chrono::seconds(30))) std::abort();  // the hub is wedged
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(dir_, ignored)) fs::remove_all(entry, ignored);
  fs::current_path(home_, ignored);
}

}  // namespace fuzz
