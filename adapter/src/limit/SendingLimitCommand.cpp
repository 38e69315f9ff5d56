#include "adapter/src/limit/SendingLimitCommand.h"

#include "adapter/src/boundary/JsonText.h"
#include "log/AdapterLog.h"

namespace {

const char kCheckLimit[] = "ImAdapterCmd::CheckIsExceedSendingLimit";
const char kDescription[] = "CheckIsExceedSendingLimit";

SendingLimitEntry ReadEntry(const Json::Value& entry) {
  SendingLimitEntry read;
  read.hasGroupId = ReadTextMember(entry, "groupId", &read.groupId);
  const Json::Value* limit = FindMember(entry, "flowLimitCount");
  if (limit != nullptr && IsInt32(*limit)) {
    read.hasFlowLimitCount = true;
    read.flowLimitCount = limit->asInt();
  }
  return read;
}

}  // namespace

SendingLimitRequest SendingLimitRequest::Read(const Json::Value& request) {
  SendingLimitRequest read;
  read.envelope = RequestEnvelope::Read(request);
  const Json::Value* param = FindMember(request, "param");
  if (param == nullptr || !param->isObject()) return read;
  read.paramIsObject = true;
  read.hasTimestamp = ReadTextMember(*param, "currentTimestamp", &read.currentTimestamp);
  const Json::Value* list = FindMember(*param, "msgList");
  if (list != nullptr && list->isArray()) {
    read.hasMsgList = true;
    read.msgList.reserve(list->size());
    for (const Json::Value& entry : *list) read.msgList.push_back(ReadEntry(entry));
  }
  return read;
}

void SendingLimitCommand::Run(HostChannel& channel, const Json::Value& request) {
  IMLOG(kLogInf, kCheckLimit, "Enter...");
  Answer(channel, SendingLimitRequest::Read(request));
  IMLOG(kLogInf, kCheckLimit, "Leave...");
}

void SendingLimitCommand::Answer(HostChannel& channel, const SendingLimitRequest& request) {
  Json::Value payload(Json::objectValue);
  if (!request.paramIsObject) {
    IMLOG(kLogErr, kCheckLimit, "param is not correct!");
    payload["reason"] = "param is not correct!";
    channel.SendRspToHost(-1, payload, request.envelope, kDescription);
    return;
  }
  if (request.hasTimestamp) payload["currentTimestamp"] = request.currentTimestamp;
  if (request.hasMsgList) {
    Json::Value results(Json::arrayValue);
    std::string groupId;
    int32_t flowLimitCount = 0;
    for (const SendingLimitEntry& entry : request.msgList) {
      Json::Value result(Json::objectValue);
      if (entry.hasGroupId) {
        groupId = entry.groupId;
        result["groupId"] = groupId;
      }
      if (entry.hasFlowLimitCount) {
        flowLimitCount = entry.flowLimitCount;
        result["flowLimitCount"] = flowLimitCount;
      }
      result["isSendMsg"] =
          limit_.CheckIsExceedLimit(groupId, request.currentTimestamp, flowLimitCount);
      results.append(result);
    }
    // An empty array is written as null, as the host expects.
    payload["msgList"] = results.empty() ? Json::Value() : results;
  }
  channel.SendRspToHost(0, payload, request.envelope, kDescription);
}
