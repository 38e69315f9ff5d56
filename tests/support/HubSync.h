// For tests and fuzz targets that put in-process plugins behind the adapter:
// the plugin table, a latch for their own threads, the JSON parse they read
// plugin texts with, the request time-outs and a barrier through the hub.
#pragma once

#include <json/json.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/bridge/ImAdapterCallback.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "adapter/src/service/ImAdapterService.h"

namespace hub_sync {

constexpr auto kTestWait = std::chrono::seconds(10);

// Opened once; WaitOpen is false when it stays shut for `bound`.
class Latch {
 public:
  // Notified under the lock: once WaitOpen returns, Open no longer touches
  // the latch, so the waiter may destroy it.
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool WaitOpen(std::chrono::milliseconds bound = kTestWait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, bound, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

// The parsed text (null when it does not parse).
inline Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  ParseJsonText(text, value);
  return value;
}

// Store requests wait `store`, the others `longWait`; an upload batch waits
// `uploadQuiet` for its next notification and `uploadCap` in all.
inline void SetTimeouts(std::chrono::milliseconds store, std::chrono::milliseconds longWait,
                        std::chrono::milliseconds uploadQuiet = std::chrono::milliseconds(150),
                        std::chrono::milliseconds uploadCap = std::chrono::hours(1)) {
  PluginRequester::SetTimeoutsForTesting({store, longWait, uploadQuiet, uploadCap});
}

// Installs receive(target, text, length) as the entry point of the three
// plugins (target kTargetIm, kTargetStore or kTargetOfflineFile); the IM
// service starts and shuts down with 0.
template <int (*receive)(uint32_t target, const char* text, uint32_t length)>
void InstallPlugins() {
  PluginApi api;
  api.imServiceStartup = api.imServiceShutDown = [] { return 0; };
  api.imRecvMsgImport = [](const char* t, uint32_t n) { return receive(kTargetIm, t, n); };
  api.sqliteRecvMsgImport = [](const char* t, uint32_t n) { return receive(kTargetStore, t, n); };
  api.offLineFileRecvMsgImport = [](const char* t, uint32_t n) {
    return receive(kTargetOfflineFile, t, n);
  };
  ImAdapterService::Instance().SetPluginApi(api);
}

// Returns once the hub has handled every message posted before the call; false
// when the hub did not get there within `bound`. Each barrier carries its own
// generation, so that one left over from an earlier call opens nothing.
inline bool DrainHub(std::chrono::milliseconds bound = kTestWait) {
  constexpr uint32_t kBarrierCode = 0x7eadbeef;
  static std::atomic<int> generations{0};
  const int generation = ++generations;
  auto latch = std::make_shared<Latch>();
  ImAdapterCallback::Instance().RegisterNotifyCallback(
      kBarrierCode, [latch, generation](Json::Value& message) {
        if (message["generation"] == generation) latch->Open();
      });
  const std::string barrier = "{\"notify\":" + std::to_string(kBarrierCode) +
                              ",\"generation\":" + std::to_string(generation) + "}";
  IMAdapterServiceCallback(barrier.c_str());
  return latch->WaitOpen(bound);
}

}  // namespace hub_sync
