// One outgoing chat message, as the forwarding commands fill it in for the IM
// service. Text fields are sent only when not empty, integer fields only when
// not −1; `isOnlyPc` is always sent.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

struct ChatSendInfo {
  std::string msgId;  // also sent as the request's "clientMsgId"
  std::string userAccount;
  int32_t chatType = -1;
  std::string receiverAccount;
  std::string groupId;
  int32_t chatContentType = -1;
  std::string content;
  std::string appId;
  std::string solidContent;
  std::string msgExt;
  std::string serverSendTime;
  int32_t isAutoReply = -1;
  int32_t isAt = -1;
  // "chatAtInfo"
  std::string chatAtMsgId;
  std::string chatAtSenderAccount;
  int32_t chatAtType = -1;
  std::string chatAtTargetAccounts;
  std::string chatAtExt;
  std::string chatAtTargetRobots;
  int32_t isAppMsg = -1;
  // "appServiceInfo"
  std::string appServiceId;
  std::string appServiceName;
  std::string appServiceIcon;
  int32_t appServiceTag = -1;
  std::string clientSendTime;  // inside "chatInfo"
  std::string senderName;
  std::string senderNativeName;
  std::string groupName;
  int32_t groupType = -1;
  // "pushExtData"
  std::string zvPushExt;
  std::string backPushExt;
  int32_t isPrivateChat = -1;
  // "chatPrivateInfo"
  std::string privateAccounts;
  int32_t isMeetingMsg = -1;
  int32_t receiptState = -1;
  int32_t receiptCount = -1;

  // Request-level members beside "chatInfo".
  int32_t isOnlyPc = 0;               // always sent
  std::string requestClientSendTime;  // the request's own "clientSendTime"

  // The "chatInfo" object: the fields above under their JSON names, each
  // written only when set; null when no field is set.
  Json::Value ChatInfoJson() const;
};
