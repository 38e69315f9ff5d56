// Test support for the migration commands: scratch folders with files of known
// content, and the host's side of the adapter (requests in, replies and
// notifications out).
#pragma once

#include <json/json.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/util/ScratchFile.h"

namespace migtest {

using testfiles::ScratchDir;

// The content written for file `name`: size bytes that depend on the name, so
// that a whole file can be told from a partial or foreign one.
std::string ContentFor(const std::string& name, size_t size);
// Creates the folders of path as needed and writes content.
void WriteFile(const std::string& path, const std::string& content);
// The file's content; "" (and *exists false) when it cannot be read.
std::string ReadFile(const std::string& path, bool* exists = nullptr);
// The names of the regular files directly inside folder, sorted.
std::vector<std::string> FileNames(const std::string& folder);
// Writes count files "f00000" … of size bytes each into folder; returns their names.
std::vector<std::string> MakeFiles(const std::string& folder, int count, size_t size);

// A folder on another volume than the temporary folder's, for moves across
// volumes: the one IM_TEST_SECOND_VOLUME names (the Windows test script maps a
// Wine drive to another device), else /dev/shm, else a tmpfs mounted for the
// test (unmounted when the object goes). base() is empty when there is none.
// Not copyable (it owns the mount).
class SecondVolume {
 public:
  SecondVolume();
  ~SecondVolume();
  const std::string& base() const { return base_; }

 private:
  std::unique_ptr<ScratchDir> mountPoint_;
  bool mounted_ = false;
  std::string base_;
};

// The command-4 request text's JSON.
Json::Value StartRequest(const std::string& origin, const std::string& destination, int type);
// Hands a request to the adapter's command processor (as the service thread does).
void Send(const Json::Value& request);
void SendText(const std::string& request);
// The next text the host would collect, parsed; null when none comes in time.
Json::Value Next(std::chrono::milliseconds wait = std::chrono::milliseconds(20000));
// Drops whatever waits in the outbound queue.
void DrainOutbound();

// What the host saw of one migration run.
struct RunLog {
  std::vector<Json::Value> replies;   // command replies, in order
  std::vector<Json::Value> progress;  // "progressNotify" params, in order
  std::vector<Json::Value> status;    // "statusNotify" params
};
// Collects messages until a status notification has come and (unless told not
// to wait) every migration thread has ended; then anything left in the queue.
RunLog CollectRun(bool waitForThreads = true);

}  // namespace migtest
