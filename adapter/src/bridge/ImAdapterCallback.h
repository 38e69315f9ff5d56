// The callback hub: every message a plugin sends to the adapter is copied and
// handed, one at a time on the hub's own task thread ("callbackTask"), to the
// handler registered for its serial number ("sno", answers) or for its
// notification code ("notify", notifications). No plugin thread ever runs an
// adapter handler, and plugin messages never reach the host's queue.
//
// Thread-safety: every member may be called from any thread. The two tables
// have a lock each; no lock is held while a handler runs, so a handler may
// register further callbacks. A handler that throws is logged and the task
// thread goes on.
//
// Bounds: plugin messages that arrive while the hub is stopped are dropped
// (one error line with their count when it starts again); while it runs, at
// most kQueueCapacity messages wait and a flood loses its oldest ones. A
// plugin thread is never held by the hub (see TaskQueue). The hub is never
// destroyed: plugin threads may call in until the process ends.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "adapter/src/bridge/SnoCallback.h"
#include "adapter/src/bridge/TaskQueue.h"
#include "util/Mutex.h"

class ImAdapterCallback {
 public:
  using NotifyHandler = std::function<void(Json::Value& reply)>;

  // Notification code of the offline-file upload results.
  static constexpr uint32_t kOffLineRspNotify = 1;
  // Plugin messages waiting for the task thread at most.
  static constexpr size_t kQueueCapacity = 4096;

  // The process-wide hub, created on first use.
  static ImAdapterCallback& Instance();

  // Starts the task thread and (re)registers the fixed notification handlers.
  // Called by service start; a Start after Stop starts the thread again.
  void Start();
  // Stops the task thread after the message it is handling. Messages posted
  // but not yet handled are dropped (counted).
  void Stop();

  // Copies the NUL-terminated text and queues it for the task thread; never
  // waits. Called on plugin threads. A null text is ignored. True when the
  // text was queued (see TaskQueue::Put); false when it was not: it is null,
  // or the hub is stopped (the text is dropped and counted).
  bool Post(const char* text);

  // What became of the messages posted so far (handled, dropped, waiting).
  TaskQueue::Counts Counts() const { return taskQueue_.GetCounts(); }

  // Sets table[sno] = callback (replacing an earlier entry). Entries are never
  // removed; serial numbers cycle, so the table stays bounded.
  void RegisterSnoCallback(int32_t sno, SnoCallback callback);
  // Copies the entry of sno into *out; false when there is none.
  bool FindSnoCallback(int32_t sno, SnoCallback* out) const;
  // The same for notification codes.
  void RegisterNotifyCallback(uint32_t code, NotifyHandler handler);
  bool FindNotifyCallback(uint32_t code, NotifyHandler* out) const;

  // Handles one plugin message: parses it, then runs the handler of its "sno"
  // (when "rsp" is a non-zero unsigned number) or of its "notify" code.
  // Unparsable or unclaimed messages are logged and dropped. Runs on the task
  // thread (tests may call it directly).
  void OnCallback(const std::string& text);

 private:
  ImAdapterCallback();
  void DispatchAnswer(Json::Value& reply);
  void DispatchNotification(Json::Value& reply);

  mutable util::Mutex snoMutex_;
  std::map<int32_t, SnoCallback> snoTable_ GUARDED_BY(snoMutex_);
  mutable util::Mutex notifyMutex_;
  std::map<uint32_t, NotifyHandler> notifyTable_ GUARDED_BY(notifyMutex_);
  TaskQueue taskQueue_;
};
