#include "adapter/src/bridge/ImAdapterCallback.h"

#include <exception>
#include <limits>
#include <memory>
#include <utility>

#include "adapter/src/bridge/ImAdapterNotify.h"
#include "adapter/src/boundary/JsonText.h"
#include "log/AdapterLog.h"

namespace {

const char kOnCallback[] = "ImAdapterCallback::OnCallback";

// reply[key] as an unsigned 32-bit number, 0 when it is missing or not one
// (also when reply is not an object).
uint32_t UnsignedMember(const Json::Value& reply, const char* key) {
  const Json::Value* member = FindMember(reply, key);
  return (member != nullptr && IsUInt32(*member)) ? member->asUInt() : 0;
}

// Runs a handler; anything it throws becomes a log line, so that one faulty
// handler cannot stop the hub.
template <typename Call>
void RunHandler(Call&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    IMLOG(kLogErr, kOnCallback, std::string("handler failed, exception: ") + e.what());
  } catch (...) {
    IMLOG(kLogErr, kOnCallback, "handler failed, unknown exception");
  }
}

}  // namespace

ImAdapterCallback& ImAdapterCallback::Instance() {
  // Never destroyed: plugin threads may post until the process ends.
  static ImAdapterCallback* const instance = new ImAdapterCallback();
  return *instance;
}

ImAdapterCallback::ImAdapterCallback() : taskQueue_("callbackTask", kQueueCapacity) {}

void ImAdapterCallback::Start() {
  taskQueue_.Start();
  RegisterNotifyCallback(kOffLineRspNotify, &ImAdapterNotify::ImAdapterOffLineRspNotify);
}

void ImAdapterCallback::Stop() { taskQueue_.Close(); }

bool ImAdapterCallback::Post(const char* text) {
  if (text == nullptr) return false;
  auto copy = std::make_shared<const std::string>(text);
  return taskQueue_.Put([this, copy] { OnCallback(*copy); });
}

void ImAdapterCallback::RegisterSnoCallback(int32_t sno, SnoCallback callback) {
  util::MutexLock lock(snoMutex_);
  snoTable_[sno] = std::move(callback);
}

bool ImAdapterCallback::FindSnoCallback(int32_t sno, SnoCallback* out) const {
  util::MutexLock lock(snoMutex_);
  auto it = snoTable_.find(sno);
  if (it == snoTable_.end()) return false;
  *out = it->second;
  return true;
}

void ImAdapterCallback::RegisterNotifyCallback(uint32_t code, NotifyHandler handler) {
  util::MutexLock lock(notifyMutex_);
  notifyTable_[code] = std::move(handler);
}

bool ImAdapterCallback::FindNotifyCallback(uint32_t code, NotifyHandler* out) const {
  util::MutexLock lock(notifyMutex_);
  auto it = notifyTable_.find(code);
  if (it == notifyTable_.end()) return false;
  *out = it->second;
  return true;
}

void ImAdapterCallback::OnCallback(const std::string& text) {
  IMLOG(kLogDbg, kOnCallback, "on callback");
  Json::Value reply;
  if (ParseJsonText(text, reply) != 0) {
    IMLOG(kLogErr, kOnCallback, "json parse failed");
    return;
  }
  if (UnsignedMember(reply, "rsp") != 0) {
    DispatchAnswer(reply);
  } else {
    DispatchNotification(reply);
  }
}

void ImAdapterCallback::DispatchAnswer(Json::Value& reply) {
  const uint32_t sno = UnsignedMember(reply, "sno");
  IMLOG(kLogDbg, kOnCallback, "sno: " + std::to_string(sno));
  SnoCallback callback;
  // Registered serial numbers are signed 32-bit; a larger one cannot be registered.
  const bool found = sno <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) &&
                     FindSnoCallback(static_cast<int32_t>(sno), &callback);
  IMLOG(kLogDbg, kOnCallback, std::string("found: ") + (found ? "1" : "0"));
  if (!found || !callback.handler) {
    IMLOG(kLogErr, kOnCallback, "callback func cannot found by sno: " + std::to_string(sno));
    return;
  }
  RunHandler([&] { callback.handler(callback.userValue, reply); });
}

void ImAdapterCallback::DispatchNotification(Json::Value& reply) {
  const uint32_t code = UnsignedMember(reply, "notify");
  IMLOG(kLogDbg, kOnCallback, "notify: " + std::to_string(code));
  NotifyHandler handler;
  const bool found = FindNotifyCallback(code, &handler);
  IMLOG(kLogDbg, kOnCallback, std::string("found: ") + (found ? "1" : "0"));
  if (!found || !handler) {
    IMLOG(kLogErr, kOnCallback, "notify func cannot found by notify: " + std::to_string(code));
    return;
  }
  RunHandler([&] { handler(reply); });
}
