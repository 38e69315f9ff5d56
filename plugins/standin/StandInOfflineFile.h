// The stand-in offline-file service: uploads copy files into a local "cloud"
// folder and hand out share links; links are kept in an index database there.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "plugins/common/StandInDb.h"

namespace standin {

enum OfflineFileCmd : int {
  kCmdUpload = 6,
  kCmdQueryLink = 37,
  kCmdLinkUpdate = 40,
};

// Not thread-safe: the plugin calls it from its one worker thread. The cloud
// folder is IM_CLOUD_DIR (default "im_cloud" in the working directory); it is
// made when missing.
class StandInOfflineFile {
 public:
  using Send = std::function<void(const Json::Value& text)>;
  static constexpr int64_t kLinkLifetimeMs = 30LL * 24 * 3600 * 1000;

  // Answers request through send. An upload (cmd 6) is answered at once with
  // {"param": {"pfile_handle": N}}; the file is then copied and exactly one
  // notification {"notify": 1, "param": {"code", "file_handle", "filersp"}}
  // follows ("code" 0 and "status_code" 200 with "url" and "plain_access_code"
  // on success). A link update (cmd 40) records the link; the link query
  // (cmd 37) answers "result" 0 for a known, unexpired link and 1 otherwise.
  // Bad requests get "result" 1 and a "reason". Never throws.
  void Handle(const Json::Value& request, const Send& send);

  // Makes the link code known with the given expiry (tests, seeding).
  bool AddLink(const std::string& code, const std::string& accessCode, int64_t expireMs,
               std::string* error);

 private:
  bool EnsureOpen(std::string* error);
  void Upload(const Json::Value& request, const Send& send);
  Json::Value CopyToCloud(const std::string& source, const std::string& name, int32_t handle);
  Json::Value LinkUpdate(const Json::Value& request);
  Json::Value QueryLink(const Json::Value& request);
  std::string RandomText(const char* alphabet, int length);

  StandInDb db_;
  std::string cloudDir_;
  int32_t nextHandle_ = 1;
  std::mt19937 random_{std::random_device{}()};
};

}  // namespace standin
