// The adapter as the fuzz targets run it: the scripted plugins installed, the
// callback hub running, a thread that pulls every text meant for the host (so
// a long run never fills the outbound queue), and a scratch folder that is
// the working directory during a run and the only place a migration may touch.
// (The working directory goes back between runs: the fuzzer's own paths may
// be relative.)
//
// Each run: Begin() lays out the scratch folder (received-picture and file
// folders holding a few small files) and hands the answer pieces to the
// scripted plugins; End() stops a migration still running, gives the late
// answers, waits until the hub has handled every plugin text, and empties
// the scratch folder.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fuzz {

class AdapterHarness {
 public:
  // The process-wide harness, set up on first use.
  static AdapterHarness& Instance();

  // The scratch folder's absolute path; request texts name it as "$DIR".
  const std::string& Dir() const { return dir_; }

  void Begin(std::vector<std::string> answers);
  void End();

 private:
  AdapterHarness();

  std::string dir_;
  std::filesystem::path home_;
  std::atomic<bool> stopPulling_{false};
  std::thread puller_;
};

}  // namespace fuzz
