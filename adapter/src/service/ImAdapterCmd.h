// The adapter's command processor: one process-wide instance, built when the
// library loads, that parses each host request and runs the command its "cmd"
// names. The commands are listed in one table {cmd, handler} in
// ImAdapterCmd.cpp; each handler is a one-line member under the command's own
// operation name that hands the request to the command's module (forward/,
// limit/, migration/, dialogs/). The two message queues, the serial-number
// counter and the reply builders live in the host channel below it
// (HostChannel), which the commands are handed.
//
// ProcessRecvMsg, the handlers and the reply delegates run on the service
// thread only.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/limit/SendingLimitCommand.h"
#include "util/MessageQueuePair.h"

class ImAdapterCmd {
 public:
  // The process-wide instance.
  static ImAdapterCmd& Instance();

  ImAdapterCmd();
  ImAdapterCmd(const ImAdapterCmd&) = delete;
  ImAdapterCmd& operator=(const ImAdapterCmd&) = delete;

  util::MessageQueuePair& Queues() { return channel_.Queues(); }

  // Parses one host request (NUL-terminated) and runs the handler its "cmd"
  // names. Logs and drops a request that does not parse or names no command;
  // never throws.
  void ProcessRecvMsg(const char* text);

  // Next plugin-request serial number (HostChannel::NextSno).
  int32_t NextSno() { return channel_.NextSno(); }

  // Replies and notifications for the forwarding commands, which still take
  // the dispatcher: they read the envelope from request and go to HostChannel.
  void SendRspToHost(int result, const Json::Value& param, const Json::Value& request,
                     const std::string& defaultDescription);
  // The same reply with a large "param" lent rather than copied: *param is
  // moved into the reply while its text is written, then moved back.
  void SendRspToHostLending(int result, Json::Value* param, const Json::Value& request,
                            const std::string& defaultDescription);
  // "AppendMsgNotify"; takes param over (callers move a value they no longer need).
  void SendAppendMsgNotify(Json::Value param);

  // Command handlers (rows 1 to 7 of the command table).
  void MsgForwardOneByOne(Json::Value& request);
  void MsgCombineAndForward(Json::Value& request);
  void CheckIsExceedSendingLimit(Json::Value& request);
  void migrationFileStartup(Json::Value& request);
  void migrationFileShutdown(Json::Value& request);
  void OpenSaveFileDialog(Json::Value& request);
  void OpenChoosePathDialog(Json::Value& request);

  // Guards the forwarding commands' shared state.
  std::mutex& ForwardMutex() { return forwardMutex_; }

 private:
  HostChannel& channel_ = HostChannel::Instance();
  std::mutex forwardMutex_;
  SendingLimitCommand sendingLimit_;  // command 3 and its per-group state
};
