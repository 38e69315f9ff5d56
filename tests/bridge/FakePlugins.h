// In-process stand-ins for the three plugins, for the bridge's unit tests.
//
// Install() puts trampolines into the adapter's plugin table and starts the
// callback hub. Each plugin's responder runs on the thread that sends the
// request (inside the plugin's entry point) and may answer at once, later,
// from a thread of its own (Spawn), twice or never.
#pragma once

#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bridge_test {

using Responder = std::function<void(const Json::Value& request)>;

// Installs the fakes and starts the hub; forgets earlier responders and requests.
void InstallFakePlugins();
// Joins the spawned threads, stops the hub and restores the default time-outs.
void RemoveFakePlugins();

// Sets the responder of target 1 (IM), 2 (store) or 3 (offline file).
void SetResponder(uint32_t target, Responder responder);
// Every request a target received so far, parsed, in order.
std::vector<Json::Value> Received(uint32_t target);
// Waits until target has received at least count requests; false after 10 s.
bool WaitForRequests(uint32_t target, size_t count);

// Delivers text through the adapter callback, as a plugin does.
void Answer(const std::string& text);
void Answer(const Json::Value& message);
// Runs fn on a new thread (joined by RemoveFakePlugins).
void Spawn(std::function<void()> fn);

// {"rsp": request "cmd", "sno": request "sno", "result": result, "param": param}
Json::Value AnswerTo(const Json::Value& request, const Json::Value& param, int result = 0);

// The parsed text (null when it does not parse).
Json::Value ParseJson(const std::string& text);
// Plugin requests wait `wait` (store and long waits alike), upload batches
// `uploadQuiet` for their notifications.
void ShortenTimeouts(std::chrono::milliseconds wait,
                     std::chrono::milliseconds uploadQuiet = std::chrono::milliseconds(150));

// Returns once the hub has handled every message posted before the call.
void DrainHub();

// A latch for the tests' own threads.
class Latch {
 public:
  void Open();
  bool WaitOpen();  // false after 10 s
 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

}  // namespace bridge_test
