// The adapter's channel to the host, below every command: the two message
// queues, the serial-number counter of plugin requests, and the builders of
// every reply and notification that goes to the host. The commands get it
// handed by the dispatcher; the plugin bridge draws serial numbers from it.
//
// Thread-safety: every member may be called from any thread. Replies and
// notifications are posted by the service thread and the migration thread;
// the outbound queue's producer lock keeps their texts whole and in order.
// The channel is never destroyed: threads may use it while the process ends.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "util/MessageQueuePair.h"

// The envelope of one host request, read once where the request enters: what
// every reply to it echoes.
struct RequestEnvelope {
  uint32_t cmd = 0;            // the reply's "rsp": "cmd" as unsigned, 0 when it has none
  bool hasSno = false;         // "sno" was an unsigned 32-bit number
  uint32_t sno = 0;
  bool hasDescription = false; // "description" was a text
  std::string description;

  // Reads the envelope members of request (any JSON value; a non-object has none).
  static RequestEnvelope Read(const Json::Value& request);
};

// A request's "cmd" as an unsigned number: null is 0, a bool 0 or 1. False
// for a text, array, object or negative number, which is no command number.
bool ReadCommandNumber(const Json::Value& cmd, uint32_t* out);

class HostChannel {
 public:
  static constexpr uint32_t kAppendMsgNotify = 0x51000;
  static constexpr uint32_t kMigrationProgressNotify = 0x51001;

  // The process-wide channel, created on first use and never destroyed.
  static HostChannel& Instance();

  HostChannel() = default;
  HostChannel(const HostChannel&) = delete;
  HostChannel& operator=(const HostChannel&) = delete;

  util::MessageQueuePair& Queues() { return queues_; }

  // Next plugin-request serial number: 32768, 32769, … 65535, then 32767 and on.
  int32_t NextSno();

  // Reply to a host request: {"description", "rsp", "result", "sno", "param"}.
  // The request's own description wins over defaultDescription; "sno" is left
  // out when the request had none.
  void SendRspToHost(int result, const Json::Value& param, const RequestEnvelope& request,
                     const std::string& defaultDescription);
  // The same reply with a large "param" lent rather than copied: *param is
  // moved into the reply while its text is written, then moved back.
  void SendRspToHostLending(int result, Json::Value* param, const RequestEnvelope& request,
                            const std::string& defaultDescription);
  // The reply without "param".
  void SendResultToHost(int result, const RequestEnvelope& request,
                        const std::string& defaultDescription);
  // Notifications "AppendMsgNotify" (takes param over) and
  // "MIGRATIONFILE_E_EVT_PROG_RESULT".
  void SendAppendMsgNotify(Json::Value param);
  void SendMigrationProgressNotify(const Json::Value& param);

 private:
  void PostJson(const Json::Value& value);

  util::MessageQueuePair queues_;
  std::atomic<int32_t> sno_{32767};
};
