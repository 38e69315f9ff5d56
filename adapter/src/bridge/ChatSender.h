// Sending chat messages through the IM service (target 1) and waiting for
// the service's acknowledgement.
//
// Threads: ImUserChat and ImGroupChat block the calling thread (the service
// thread) for up to the long time-out (35 s); their response handlers run on
// the hub's task thread.
#pragma once

#include <json/json.h>

#include <cstdint>

#include "adapter/src/bridge/ChatSendInfo.h"
#include "adapter/src/bridge/SnoCallback.h"

class ChatSender {
 public:
  static constexpr int32_t kUserChatCmd = 135680;   // 0x21200, "UserChat"
  static constexpr int32_t kGroupChatCmd = 135682;  // 0x21202, "GroupChat"
  static constexpr int32_t kTimeoutResult = -100;

  // Sends item as a one-to-one ("UserChat") or group ("GroupChat") message
  // and fills *ack with the outcome; never fails otherwise:
  // - answered: the IM service's whole answer, with "clientMsgId" = item.msgId
  //   added when the answer has none;
  // - no answer in time: {"result": -100, "resultDes": "timeout", "sno": the
  //   request's serial number, "description": "UserChatAck" / "GroupChatAck",
  //   "rsp": the request code, "clientMsgId": item.msgId}.
  // jsSno is the host request's serial number (logged only).
  static void ImUserChat(int32_t jsSno, const ChatSendInfo& item, Json::Value* ack);
  static void ImGroupChat(int32_t jsSno, const ChatSendInfo& item, Json::Value* ack);

  // The request text's JSON: {"cmd", "description", "param": {"clientMsgId",
  // "chatInfo", "isOnlyPc", "clientSendTime"}} (without "sno" and "adapter").
  static Json::Value BuildChatRequest(int32_t cmd, const char* description,
                                      const ChatSendInfo& item);

 private:
  static int32_t ImUserChatSend(const ChatSendInfo& item, const SnoCallback& callback);
  static int32_t ImGroupChatSend(const ChatSendInfo& item, const SnoCallback& callback);
  static void ImUserChatRsp(int32_t jsSno, Json::Value& answer);
  static void ImGroupChatRsp(int32_t jsSno, Json::Value& answer);
};
