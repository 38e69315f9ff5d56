// Synchronous requests from the adapter to the plugins.
//
// The plugins answer only through the callback hub. A blocking request draws
// a serial number, opens a waiter under it, registers its response handler
// with the hub, sends the request and waits until the handler delivers the
// answer that carries that very serial number, or until the deadline of the
// request's kind. An answer to another request (a late answer to an earlier
// request of the same kind) never ends a wait and is never read by a later
// request; it is logged and dropped.
//
// Threads: Call and Send run on the thread that makes the request (the
// service thread); Deliver runs on the hub's task thread. No lock is held
// while the plugin's entry point runs or while a hub handler runs.
//
// Stopping: while the service stops (StopWaits until ResumeWaits) every wait
// ends at once as a time-out, so that the running command finishes quickly
// and shut-down never waits for a silent plugin.
#pragma once

#include <json/json.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "adapter/src/bridge/SnoCallback.h"
#include "util/CondVar.h"
#include "util/Mutex.h"

// How long the adapter waits for the plugins.
struct RequestTimeouts {
  std::chrono::milliseconds store{5000};          // store requests
  std::chrono::milliseconds longWait{35000};      // chat, offline file, received-file history
  std::chrono::milliseconds uploadQuiet{300000};  // upload notifications of one batch
  std::chrono::milliseconds uploadCap{900000};    // the whole upload wait of one batch
};

// The two request lock pairs: most requests use the main pair, the history
// query of received files has its own.
enum class RequestPair { kMain = 0, kReceivedFile = 1 };
// Which of the two request time-outs a kind waits for.
enum class RequestWait { kStore, kLong };

// One kind of plugin request: its log names, its plugin and its wait.
struct RequestKind {
  const char* operation;  // blocking operation, e.g. "ImAdapterCmd::AddHistoryRecord"
  const char* sender;     // its sender, e.g. "ImAdapterCmd::AddHistoryRecordSend"
  const char* handler;    // its response handler, e.g. "ImAdapterCmd::AddHistoryRecordRsp"
  uint32_t target;        // PluginTarget of the plugin asked
  RequestPair pair;
  RequestWait wait;
};

// Outcome of one blocking request.
struct RequestResult {
  bool answered = false;  // false: the deadline passed ("zeb req timeout" was logged)
  int32_t sno = 0;        // the request's serial number
  Json::Value answer;     // the plugin's whole answer when answered
};

class PluginRequester {
 public:
  // Sends the request with the callback to register; returns its serial number.
  using Sender = std::function<int32_t(const SnoCallback& callback)>;

  // The process-wide requester.
  static PluginRequester& Instance();

  // The blocking request: send(callback) must build the request and pass it
  // to Send(); then waits for the answer with the request's serial number or
  // for the kind's deadline. Logs "sno: " and, on the deadline,
  // "zeb req timeout". The request is never cancelled: its handler stays
  // registered and a late answer is dropped by Deliver.
  RequestResult Call(const RequestKind& kind, const SnoCallback& callback, const Sender& send);

  // The sender's common part: draws the serial number, logs "sno: ", opens
  // the waiter for it, registers callback with the hub and sends the request
  // (with "sno" and "adapter": 1 added) to the kind's plugin. Returns the
  // serial number.
  int32_t Send(const RequestKind& kind, Json::Value request, const SnoCallback& callback);

  // The response handler's common part (hub task thread): logs the answer's
  // "sno" and "result" and hands the answer to the waiter of its serial
  // number, moving it there (answer is left null) rather than copying a
  // possibly large tree. False (logged), with answer untouched, when nobody
  // waits for that number any more: a late or repeated answer, which is
  // dropped.
  // beforeWake, when set, runs under the pair's lock before the waiter
  // wakes, so that what it records is in place when the request returns.
  bool Deliver(const RequestKind& kind, int32_t jsSno, Json::Value& answer,
               const std::function<void()>& beforeWake = nullptr);

  // Ends every wait in progress, and every later one until ResumeWaits, as a
  // time-out. Called by service stop; never waits.
  void StopWaits();
  void ResumeWaits();
  bool Stopping() const { return stopping_.load(); }

  // request["sno"] = sno, request["adapter"] = 1, then routes the text form
  // of the request to target.
  static void SendReqToPlugin(Json::Value& request, int32_t sno, uint32_t target);

  // The current time-outs.
  static RequestTimeouts Timeouts();
  static std::chrono::milliseconds TimeoutOf(RequestWait wait);

  // Test hook: replaces the time-outs of every later wait. Not part of the
  // library's exports; the shipped library always runs with the defaults.
  static void SetTimeoutsForTesting(const RequestTimeouts& timeouts);
  static void ResetTimeoutsForTesting();

 private:
  // What one blocking request waits for: its own answer. Read and written
  // under the mutex of its pair.
  struct Waiter {
    bool done = false;
    Json::Value answer;
  };
  struct Pair {
    util::Mutex mutex;
    util::CondVar answered;
    std::map<int32_t, std::shared_ptr<Waiter>> waiters GUARDED_BY(mutex);  // by serial number
  };

  PluginRequester() = default;
  Pair& PairOf(RequestPair pair) { return pairs_[static_cast<int>(pair)]; }

  Pair pairs_[2];
  std::atomic<bool> stopping_{false};
};
