#include "tests/bridge/FakePlugins.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>

#include "adapter/src/ImAdapterCallback.h"
#include "adapter/src/ImAdapterService.h"
#include "adapter/src/JsonText.h"
#include "adapter/src/PluginApi.h"
#include "adapter/src/PluginRequester.h"
#include "log/AdapterLog.h"

namespace bridge_test {
namespace {

constexpr auto kTestWait = std::chrono::seconds(10);
constexpr uint32_t kBarrierCode = 0x7eadbeef;

struct State {
  std::mutex mutex;
  std::condition_variable received;
  std::map<uint32_t, Responder> responders;
  std::map<uint32_t, std::vector<Json::Value>> requests;
  std::vector<std::thread> threads;
};

State& GetState() {
  static State state;
  return state;
}

int Receive(uint32_t target, const char* text, uint32_t length) {
  Json::Value request;
  ParseJsonText(std::string(text, length), request);
  State& state = GetState();
  Responder responder;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.requests[target].push_back(request);
    responder = state.responders[target];
  }
  state.received.notify_all();
  if (responder) responder(request);
  return 0;
}

int ImRecv(const char* text, uint32_t length) { return Receive(kTargetIm, text, length); }
int StoreRecv(const char* text, uint32_t length) { return Receive(kTargetStore, text, length); }
int OfflineRecv(const char* text, uint32_t length) {
  return Receive(kTargetOfflineFile, text, length);
}

}  // namespace

void InstallFakePlugins() {
  // Every log line of the bridge is written (debug included), so that its
  // formatting runs in the tests too.
  static const bool logOpen = [] {
    const std::string folder =
        (std::filesystem::temp_directory_path() / "im_bridge_tests").string();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return AdapterLogOpen(4, 5, folder.c_str(), "im_adapter.log") == 0;
  }();
  (void)logOpen;
  PluginApi api;
  api.imRecvMsgImport = &ImRecv;
  api.sqliteRecvMsgImport = &StoreRecv;
  api.offLineFileRecvMsgImport = &OfflineRecv;
  ImAdapterService::Instance().SetPluginApi(api);
  {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.responders.clear();
    state.requests.clear();
  }
  ImAdapterCallback::Instance().Start();
}

void RemoveFakePlugins() {
  State& state = GetState();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    threads.swap(state.threads);
  }
  for (std::thread& thread : threads) thread.join();
  DrainHub();
  ImAdapterCallback::Instance().Stop();
  PluginRequester::ResetTimeoutsForTesting();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.responders.clear();
}

void SetResponder(uint32_t target, Responder responder) {
  State& state = GetState();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.responders[target] = std::move(responder);
}

std::vector<Json::Value> Received(uint32_t target) {
  State& state = GetState();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.requests[target];
}

bool WaitForRequests(uint32_t target, size_t count) {
  State& state = GetState();
  std::unique_lock<std::mutex> lock(state.mutex);
  return state.received.wait_for(lock, kTestWait,
                                 [&] { return state.requests[target].size() >= count; });
}

void Answer(const std::string& text) { IMAdapterServiceCallback(text.c_str()); }

void Answer(const Json::Value& message) { Answer(StyledJsonText(message)); }

void Spawn(std::function<void()> fn) {
  State& state = GetState();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.threads.emplace_back(std::move(fn));
}

Json::Value AnswerTo(const Json::Value& request, const Json::Value& param, int result) {
  Json::Value answer(Json::objectValue);
  answer["rsp"] = request["cmd"];
  answer["sno"] = request["sno"];
  answer["result"] = result;
  answer["param"] = param;
  return answer;
}

Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  ParseJsonText(text, value);
  return value;
}

void ShortenTimeouts(std::chrono::milliseconds wait, std::chrono::milliseconds uploadQuiet) {
  RequestTimeouts timeouts;
  timeouts.store = wait;
  timeouts.longWait = wait;
  timeouts.uploadQuiet = uploadQuiet;
  PluginRequester::SetTimeoutsForTesting(timeouts);
}

void DrainHub() {
  auto latch = std::make_shared<Latch>();
  ImAdapterCallback::Instance().RegisterNotifyCallback(kBarrierCode,
                                                       [latch](Json::Value&) { latch->Open(); });
  Json::Value barrier(Json::objectValue);
  barrier["notify"] = kBarrierCode;
  Answer(barrier);
  latch->WaitOpen();
}

void Latch::Open() {
  // Notified under the lock: once WaitOpen returns, Open no longer touches
  // the latch, so the waiter may destroy it.
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
  cv_.notify_all();
}

bool Latch::WaitOpen() {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, kTestWait, [this] { return open_; });
}

}  // namespace bridge_test
