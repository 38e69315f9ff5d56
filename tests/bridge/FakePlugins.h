// In-process stand-ins for the three plugins, for the bridge's unit tests.
//
// The BridgeTest fixture puts trampolines into the adapter's plugin table and
// starts the callback hub. Each plugin's responder runs on the thread that
// sends the request (inside the plugin's entry point) and may answer at once,
// later, from a thread of its own (Spawn), twice or never.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/service/ImAdapterService.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "tests/support/HubSync.h"

namespace bridge_test {

using hub_sync::DrainHub;
using hub_sync::kTestWait;
using hub_sync::Latch;
using hub_sync::ParseJson;
using Responder = std::function<void(const Json::Value& request)>;

struct FakeState {
  std::mutex mutex;
  std::condition_variable received;
  std::map<uint32_t, Responder> responders;
  std::map<uint32_t, std::vector<Json::Value>> requests;
  std::vector<std::thread> threads;
};

inline FakeState fakes;

// A plugin entry point: records the request, then runs the target's responder.
inline int Receive(uint32_t target, const char* text, uint32_t length) {
  const Json::Value request = ParseJson(std::string(text, length));
  Responder responder;
  {
    std::lock_guard<std::mutex> lock(fakes.mutex);
    fakes.requests[target].push_back(request);
    responder = fakes.responders[target];
  }
  fakes.received.notify_all();
  if (responder) responder(request);
  return 0;
}

// Sets the responder of target 1 (IM), 2 (store) or 3 (offline file).
inline void SetResponder(uint32_t target, Responder responder) {
  std::lock_guard<std::mutex> lock(fakes.mutex);
  fakes.responders[target] = std::move(responder);
}

// Every request a target received so far, parsed, in order.
inline std::vector<Json::Value> Received(uint32_t target) {
  std::lock_guard<std::mutex> lock(fakes.mutex);
  return fakes.requests[target];
}

// Waits until target has received at least count requests; false after 10 s.
inline bool WaitForRequests(uint32_t target, size_t count) {
  std::unique_lock<std::mutex> lock(fakes.mutex);
  return fakes.received.wait_for(lock, kTestWait,
                                 [&] { return fakes.requests[target].size() >= count; });
}

// Delivers text through the adapter callback, as a plugin does.
inline void Answer(const std::string& text) { IMAdapterServiceCallback(text.c_str()); }
inline void Answer(const Json::Value& message) { Answer(StyledJsonText(message)); }

// Runs fn on a new thread (joined at tear-down).
inline void Spawn(std::function<void()> fn) {
  std::lock_guard<std::mutex> lock(fakes.mutex);
  fakes.threads.emplace_back(std::move(fn));
}

// {"rsp": request "cmd", "sno": request "sno", "result": result, "param": param}
inline Json::Value AnswerTo(const Json::Value& request, const Json::Value& param, int result = 0) {
  Json::Value answer(Json::objectValue);
  answer["rsp"] = request["cmd"];
  answer["sno"] = request["sno"];
  answer["result"] = result;
  answer["param"] = param;
  return answer;
}

// Installs the fakes and starts the hub, forgetting earlier responders and
// requests; on tear-down joins the spawned threads, stops the hub and restores
// the default time-outs.
class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hub_sync::InstallPlugins<Receive>();
    {
      std::lock_guard<std::mutex> lock(fakes.mutex);
      fakes.responders.clear();
      fakes.requests.clear();
    }
    ImAdapterCallback::Instance().Start();
  }
  void TearDown() override {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(fakes.mutex);
      threads.swap(fakes.threads);
    }
    for (std::thread& thread : threads) thread.join();
    DrainHub();
    ImAdapterCallback::Instance().Stop();
    PluginRequester::ResetTimeoutsForTesting();
    std::lock_guard<std::mutex> lock(fakes.mutex);
    fakes.responders.clear();
  }
};

}  // namespace bridge_test
