// The adapter's command processor: one process-wide instance, built when the
// library loads, that runs the command handlers. The two message queues, the
// serial-number counter and the reply builders live in the host channel below
// it (HostChannel), which the commands are handed.
//
// ProcessRecvMsg and the handlers run on the service thread only. The reply
// and notification builders may also run on the migration thread; they share
// only the outbound queue, whose producer lock serialises them.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/limit/ImAdapterGroupChatLimit.h"
#include "util/MessageQueuePair.h"
#include "util/Mutex.h"

class ImAdapterCmd {
 public:
  static constexpr uint32_t kAppendMsgNotify = HostChannel::kAppendMsgNotify;
  static constexpr uint32_t kMigrationProgressNotify = HostChannel::kMigrationProgressNotify;

  // The process-wide instance.
  static ImAdapterCmd& Instance();

  ImAdapterCmd();
  ImAdapterCmd(const ImAdapterCmd&) = delete;
  ImAdapterCmd& operator=(const ImAdapterCmd&) = delete;

  util::MessageQueuePair& Queues() { return channel_.Queues(); }
  HostChannel& Channel() { return channel_; }

  // Parses one host request (NUL-terminated) and runs the handler its "cmd"
  // names. Logs and drops a request that does not parse or names no command;
  // never throws.
  void ProcessRecvMsg(const char* text);

  // Next plugin-request serial number (HostChannel::NextSno).
  int32_t NextSno() { return channel_.NextSno(); }

  // Reply to a host request, with "param" (SendRspToHost) or without it.
  void SendRspToHost(int result, const Json::Value& param, const Json::Value& request,
                     const std::string& defaultDescription);
  // The same reply with a large "param" lent rather than copied: *param is
  // moved into the reply while its text is written, then moved back.
  void SendRspToHostLending(int result, Json::Value* param, const Json::Value& request,
                            const std::string& defaultDescription);
  void SendResultToHost(int result, const Json::Value& request,
                        const std::string& defaultDescription);
  // Notifications: "AppendMsgNotify" and "MIGRATIONFILE_E_EVT_PROG_RESULT".
  // The notification takes param over (callers move a value they no longer need).
  void SendAppendMsgNotify(Json::Value param);
  void SendMigrationProgressNotify(const Json::Value& param);

  // Command handlers (rows 1 to 7 of the command table).
  void MsgForwardOneByOne(Json::Value& request);
  void MsgCombineAndForward(Json::Value& request);
  void CheckIsExceedSendingLimit(Json::Value& request);
  void migrationFileStartup(Json::Value& request);
  void migrationFileShutdown(Json::Value& request);
  void OpenSaveFileDialog(Json::Value& request);
  void OpenChoosePathDialog(Json::Value& request);

  // Guards the forwarding commands' shared state.
  util::Mutex& ForwardMutex() RETURN_CAPABILITY(forwardMutex_) { return forwardMutex_; }

 private:
  HostChannel& channel_ = HostChannel::Instance();
  util::Mutex forwardMutex_;
  ImAdapterGroupChatLimit groupChatLimit_;
};
