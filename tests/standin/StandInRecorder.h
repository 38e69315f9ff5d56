// Records what the stand-in plugins send, through the adapter callback and the
// host sink, and lets a test wait for it.
#pragma once

#include <json/json.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin_test {

struct Received {
  bool toAdapter;  // through the adapter callback (else through the host sink)
  Json::Value json;
};

// Installs itself as the adapter callback of the given setter and as the host
// sink; one recorder at a time per process.
class StandInRecorder {
 public:
  using CallbackSetter = int (*)(int (*)(const char*));
  explicit StandInRecorder(CallbackSetter setCallback);
  ~StandInRecorder();

  // Waits (up to 10 s) until at least count texts have come; false on time-out.
  bool WaitForCount(size_t count);
  // Waits (up to 10 s) until a text satisfies match; stores it in *out.
  bool WaitFor(const std::function<bool(const Received&)>& match, Received* out);
  std::vector<Received> Snapshot() const;
  void Clear();

 private:
  CallbackSetter setCallback_;
};

// A request text: {"cmd", "description", "param", "sno"} plus "adapter": 1 when fromAdapter.
std::string Request(int cmd, const std::string& description, const Json::Value& param, int sno,
                    bool fromAdapter = true);

// A fresh empty folder under the system's temporary folder.
std::string FreshFolder(const std::string& name);

// The answer with the given "sno" and a "rsp" member (not a notification).
std::function<bool(const Received&)> AnswerTo(int sno);

}  // namespace standin_test
