#include "adapter/src/bridge/ImAdapterNotify.h"

#include <string>
#include <utility>

#include "adapter/src/boundary/JsonText.h"
#include "log/AdapterLog.h"

namespace {

const char kOffLineRspNotify[] = "ImAdapterOffLineRspNotify";

// reply["param"]["file_handle"] when it is a signed 32-bit number, else −1.
int32_t FileHandleOf(const Json::Value& reply) {
  if (!reply.isObject()) return -1;
  const Json::Value* param = FindMember(reply, "param");
  if (param == nullptr || !param->isObject()) return -1;
  const Json::Value* handle = FindMember(*param, "file_handle");
  if (handle == nullptr || !IsInt32(*handle)) return -1;
  return handle->asInt();
}

}  // namespace

ImAdapterNotify& ImAdapterNotify::Instance() {
  // Never destroyed: threads may still use it while the process ends.
  static ImAdapterNotify* const instance = new ImAdapterNotify();
  return *instance;
}

void ImAdapterNotify::RegisterHandleCallback(int32_t handle, SnoCallback callback) {
  util::MutexLock lock(mutex_);
  table_[handle] = std::move(callback);
}

void ImAdapterNotify::RemoveHandleCallback(int32_t handle) {
  util::MutexLock lock(mutex_);
  table_.erase(handle);
}

size_t ImAdapterNotify::Size() const {
  util::MutexLock lock(mutex_);
  return table_.size();
}

bool ImAdapterNotify::FindHandleCallback(int32_t handle, SnoCallback* out) const {
  util::MutexLock lock(mutex_);
  auto it = table_.find(handle);
  if (it == table_.end()) return false;
  *out = it->second;
  return true;
}

void ImAdapterNotify::ImAdapterOffLineRspNotify(Json::Value& reply) {
  IMLOG(kLogDbg, kOffLineRspNotify, "Enter...");
  const int32_t handle = FileHandleOf(reply);
  if (handle != -1) IMLOG(kLogDbg, kOffLineRspNotify, "handle: " + std::to_string(handle));
  SnoCallback callback;
  const bool found = Instance().FindHandleCallback(handle, &callback);
  IMLOG(kLogDbg, kOffLineRspNotify, std::string("found: ") + (found ? "1" : "0"));
  if (found && callback.handler) {
    callback.handler(callback.userValue, reply);
  } else {
    IMLOG(kLogErr, kOffLineRspNotify,
          "callback func cannot found by handle: " + std::to_string(handle));
  }
  IMLOG(kLogDbg, kOffLineRspNotify, "Leave...");
}
