// Drives one stand-in plugin through its entry points and records what it
// sends, through the adapter callback and the host sink.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

namespace standin_test {

struct Received {
  bool toAdapter;  // through the adapter callback (else through the host sink)
  Json::Value json;
};

// Installs itself as the plugin's adapter callback and as the host sink; one
// recorder at a time per process. Every wait gives up after 10 s.
class StandInRecorder {
 public:
  using CallbackSetter = int (*)(int (*)(const char*));
  using Import = int (*)(const char*, uint32_t);
  StandInRecorder(CallbackSetter setCallback, Import import);
  ~StandInRecorder();

  void Send(const std::string& text) const;
  // Sends the request under a serial number of its own and returns its answer
  // (null on time-out); the answer must come back on the side that asked.
  Json::Value Ask(int cmd, const Json::Value& param, bool fromAdapter = true);
  bool WaitForCount(size_t count) const;
  std::vector<Received> Snapshot() const;

 private:
  CallbackSetter setCallback_;
  Import import_;
  int lastSno_ = 30000;
};

// The JSON value of text (null when text is not JSON).
Json::Value Parse(const std::string& text);
// {"cmd", "description": "test", "param", "sno"} plus "adapter": 1 when fromAdapter.
std::string Request(int cmd, const Json::Value& param, int sno, bool fromAdapter = true);
// The first column of the first row sql answers on the database at path, or -1.
int64_t Count(const std::string& path, const std::string& sql);
// A fresh empty folder under the system's temporary folder.
std::string FreshFolder(const std::string& name);
// A fresh folder named after the running test.
std::string FreshFolderForTest();

}  // namespace standin_test
