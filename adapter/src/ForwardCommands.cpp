#include "adapter/src/ForwardCommands.h"

#include "adapter/src/ImAdapterCmd.h"
#include <string>

#include "log/AdapterLog.h"

namespace {

void ReplyNotAvailable(ImAdapterCmd& cmd, Json::Value& request, const char* name) {
  const std::string function = std::string("ImAdapterCmd::") + name;
  IMLOG(kLogErr, function.c_str(), "forwarding is not available in this build");
  Json::Value param(Json::objectValue);
  param["reason"] = "forwarding is not available in this build";
  cmd.SendRspToHost(-1, param, request, name);
}

}  // namespace

void RunMsgForwardOneByOne(ImAdapterCmd& cmd, Json::Value& request) {
  ReplyNotAvailable(cmd, request, "MsgForwardOneByOne");
}

void RunMsgCombineAndForward(ImAdapterCmd& cmd, Json::Value& request) {
  ReplyNotAvailable(cmd, request, "MsgCombineAndForward");
}
