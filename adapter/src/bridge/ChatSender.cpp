#include "adapter/src/bridge/ChatSender.h"

#include <string>

#include "adapter/src/boundary/OperationTrace.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "log/AdapterLog.h"

namespace {

const RequestKind kUserChatKind = {"ImAdapterCmd::ImUserChat", "ImAdapterCmd::ImUserChatSend",
                                   "ImAdapterCmd::ImUserChatRsp", kTargetIm,
                                   RequestPair::kMain, RequestWait::kLong};
const RequestKind kGroupChatKind = {"ImAdapterCmd::ImGroupChat", "ImAdapterCmd::ImGroupChatSend",
                                    "ImAdapterCmd::ImGroupChatRsp", kTargetIm,
                                    RequestPair::kMain, RequestWait::kLong};

// What tells a user chat from a group chat in the outcome.
struct ChatOutcomeNames {
  const char* ackDescription;
  int32_t cmd;
};

// Turns the request's result into the ack the forwarding commands read.
void FillAck(const RequestResult& result, const ChatSendInfo& item, const ChatOutcomeNames& names,
             Json::Value* ack) {
  if (!result.answered) {
    Json::Value timeout(Json::objectValue);
    timeout["result"] = ChatSender::kTimeoutResult;
    timeout["resultDes"] = "timeout";
    timeout["sno"] = result.sno;
    timeout["description"] = names.ackDescription;
    timeout["rsp"] = names.cmd;
    timeout["clientMsgId"] = item.msgId;
    *ack = timeout;
    return;
  }
  *ack = result.answer;
  if (!ack->isMember("clientMsgId")) (*ack)["clientMsgId"] = item.msgId;
}

void Chat(const RequestKind& kind, const ChatOutcomeNames& names, int32_t jsSno,
          const ChatSendInfo& item, Json::Value* ack,
          int32_t (*send)(const ChatSendInfo&, const SnoCallback&),
          void (*handler)(int32_t, Json::Value&)) {
  OperationTrace trace(kind.operation);
  IMLOG(kLogDbg, kind.operation, "jsSno: " + std::to_string(jsSno));
  RequestResult result = PluginRequester::Instance().Call(
      kind, SnoCallback{jsSno, handler},
      [&item, send](const SnoCallback& callback) { return send(item, callback); });
  FillAck(result, item, names, ack);
}

}  // namespace

Json::Value ChatSender::BuildChatRequest(int32_t cmd, const char* description,
                                         const ChatSendInfo& item) {
  Json::Value request(Json::objectValue);
  request["cmd"] = cmd;
  request["description"] = description;
  Json::Value& param = request["param"];
  param = Json::Value(Json::objectValue);
  if (!item.msgId.empty()) param["clientMsgId"] = item.msgId;
  Json::Value chatInfo = item.ChatInfoJson();
  if (!chatInfo.isNull()) param["chatInfo"] = chatInfo;
  param["isOnlyPc"] = item.isOnlyPc;
  if (!item.requestClientSendTime.empty()) param["clientSendTime"] = item.requestClientSendTime;
  return request;
}

void ChatSender::ImUserChat(int32_t jsSno, const ChatSendInfo& item, Json::Value* ack) {
  Chat(kUserChatKind, {"UserChatAck", kUserChatCmd}, jsSno, item, ack, &ImUserChatSend,
       &ImUserChatRsp);
}

void ChatSender::ImGroupChat(int32_t jsSno, const ChatSendInfo& item, Json::Value* ack) {
  Chat(kGroupChatKind, {"GroupChatAck", kGroupChatCmd}, jsSno, item, ack, &ImGroupChatSend,
       &ImGroupChatRsp);
}

int32_t ChatSender::ImUserChatSend(const ChatSendInfo& item, const SnoCallback& callback) {
  return PluginRequester::Instance().Send(
      kUserChatKind, BuildChatRequest(kUserChatCmd, "UserChat", item), callback);
}

int32_t ChatSender::ImGroupChatSend(const ChatSendInfo& item, const SnoCallback& callback) {
  return PluginRequester::Instance().Send(
      kGroupChatKind, BuildChatRequest(kGroupChatCmd, "GroupChat", item), callback);
}

void ChatSender::ImUserChatRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kUserChatKind.handler);
  PluginRequester::Instance().Deliver(kUserChatKind, jsSno, answer);
}

void ChatSender::ImGroupChatRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kGroupChatKind.handler);
  PluginRequester::Instance().Deliver(kGroupChatKind, jsSno, answer);
}
