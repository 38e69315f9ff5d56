#include "adapter/src/bridge/ChatSendInfo.h"

namespace {

void PutText(Json::Value& object, const char* key, const std::string& value) {
  if (!value.empty()) object[key] = value;
}

void PutInt(Json::Value& object, const char* key, int32_t value) {
  if (value != -1) object[key] = value;
}

// Writes a sub-object only when one of its members got written.
void PutObject(Json::Value& object, const char* key, const Json::Value& sub) {
  if (!sub.isNull()) object[key] = sub;
}

}  // namespace

Json::Value ChatSendInfo::ChatInfoJson() const {
  Json::Value info;
  PutText(info, "msgId", msgId);
  PutText(info, "userAccount", userAccount);
  PutInt(info, "chatType", chatType);
  PutText(info, "receiverAccount", receiverAccount);
  PutText(info, "groupId", groupId);
  PutInt(info, "chatContentType", chatContentType);
  PutText(info, "content", content);
  PutText(info, "appId", appId);
  PutText(info, "solidContent", solidContent);
  PutText(info, "msgExt", msgExt);
  PutText(info, "serverSendTime", serverSendTime);
  PutInt(info, "isAutoReply", isAutoReply);
  PutInt(info, "isAt", isAt);

  Json::Value chatAt;
  PutText(chatAt, "msgId", chatAtMsgId);
  PutText(chatAt, "senderAccount", chatAtSenderAccount);
  PutInt(chatAt, "chatAtType", chatAtType);
  PutText(chatAt, "targetAccounts", chatAtTargetAccounts);
  PutText(chatAt, "chatAtExt", chatAtExt);
  PutText(chatAt, "targetRobots", chatAtTargetRobots);
  PutObject(info, "chatAtInfo", chatAt);

  PutInt(info, "isAppMsg", isAppMsg);
  Json::Value appService;
  PutText(appService, "appServiceId", appServiceId);
  PutText(appService, "appServiceName", appServiceName);
  PutText(appService, "appServiceIcon", appServiceIcon);
  PutInt(appService, "appServiceTag", appServiceTag);
  PutObject(info, "appServiceInfo", appService);

  PutText(info, "clientSendTime", clientSendTime);
  PutText(info, "senderName", senderName);
  PutText(info, "senderNativeName", senderNativeName);
  PutText(info, "groupName", groupName);
  PutInt(info, "groupType", groupType);

  Json::Value pushExt;
  PutText(pushExt, "zvPushExt", zvPushExt);
  PutText(pushExt, "backPushExt", backPushExt);
  PutObject(info, "pushExtData", pushExt);

  PutInt(info, "isPrivateChat", isPrivateChat);
  Json::Value privateInfo;
  PutText(privateInfo, "privateAccounts", privateAccounts);
  PutObject(info, "chatPrivateInfo", privateInfo);

  PutInt(info, "isMeetingMsg", isMeetingMsg);
  PutInt(info, "receiptState", receiptState);
  PutInt(info, "receiptCount", receiptCount);
  return info;
}
