// The adapter's command processor: one process-wide instance, built when the
// library loads, that parses each host request and runs the command its "cmd"
// names. The commands are listed in one table {cmd, handler} in
// ImAdapterCmd.cpp; each handler is a one-line member under the command's own
// operation name that hands the request to the command's module (forward/,
// limit/, migration/, dialogs/). The two message queues, the serial-number
// counter and the reply builders live in the host channel below it
// (HostChannel), which the commands are handed.
//
// ProcessRecvMsg and the handlers run on the service thread only.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/limit/SendingLimitCommand.h"
#include "util/MessageQueuePair.h"
#include "util/Mutex.h"

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

  // Command handlers (rows 1 to 7 of the command table).
  void MsgForwardOneByOne(Json::Value& request);
  void MsgCombineAndForward(Json::Value& request);
  void CheckIsExceedSendingLimit(Json::Value& request);
  void migrationFileStartup(Json::Value& request);
  void migrationFileShutdown(Json::Value& request);
  void OpenSaveFileDialog(Json::Value& request);
  void OpenChoosePathDialog(Json::Value& request);

 private:
  HostChannel& channel_ = HostChannel::Instance();
  SendingLimitCommand sendingLimit_;  // command 3 and its per-group state
};
