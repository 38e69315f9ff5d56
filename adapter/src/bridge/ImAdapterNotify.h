// Second-level dispatch of the offline-file upload results (notification
// code 1): each notification goes to the callback registered for the file
// handle it carries.
//
// Thread-safety: the table has its own lock; no lock is held while a callback
// runs. Registering a handle again replaces it; the upload batch that
// registered a handle removes it when it ends, so the table holds only the
// uploads in progress.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <map>

#include "adapter/src/bridge/SnoCallback.h"
#include "util/Mutex.h"

class ImAdapterNotify {
 public:
  // The process-wide registry, created on first use.
  static ImAdapterNotify& Instance();

  // Sets table[handle] = callback (replacing an earlier entry).
  void RegisterHandleCallback(int32_t handle, SnoCallback callback);
  // Removes the entry of handle (nothing when there is none).
  void RemoveHandleCallback(int32_t handle);
  size_t Size() const;
  // Copies the entry of handle into *out; false when there is none.
  bool FindHandleCallback(int32_t handle, SnoCallback* out) const;

  // Handler of notification code 1 (hub task thread): runs the callback of
  // reply["param"]["file_handle"]; logs and drops a notification without a
  // handle or with an unregistered one.
  static void ImAdapterOffLineRspNotify(Json::Value& reply);

 private:
  ImAdapterNotify() = default;

  mutable util::Mutex mutex_;
  std::map<int32_t, SnoCallback> table_ GUARDED_BY(mutex_);
};
