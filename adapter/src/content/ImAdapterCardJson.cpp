#include "adapter/src/content/ImAdapterCardJson.h"

#include <exception>

#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"
#include "log/AdapterLog.h"

namespace {

// The member at object.first.second, or nullptr when a level is missing.
const Json::Value* Member(const Json::Value& object, const char* first, const char* second) {
  const Json::Value* level = FindMember(object, first);
  return level == nullptr ? nullptr : FindMember(*level, second);
}

const Json::Value* Member(const Json::Value& object, const char* first, const char* second,
                          const char* third) {
  const Json::Value* level = Member(object, first, second);
  return level == nullptr ? nullptr : FindMember(*level, third);
}

// A card flag: a JSON boolean, or an int taken as true when not 0.
void ReadFlag(const Json::Value* value, bool& flag) {
  if (value == nullptr) return;
  if (value->isBool()) {
    flag = value->asBool();
  } else if (IsInt32(*value)) {
    flag = value->asInt() != 0;
  }
}

void ReadCardType(const Json::Value* value, int32_t& cardType) {
  if (value == nullptr) return;
  if (IsInt32(*value)) {
    cardType = value->asInt();
  } else if (value->isString()) {
    cardType = static_cast<int32_t>(static_cast<uint32_t>(StringToInt64(value->asString())));
  }
}

void ReadCardFields(const Json::Value& json, CardInfo& card) {
  ReadCardType(FindMember(json, "cardType"), card.cardType);
  const Json::Value* replyContent = Member(json, "cardContext", "replyMsg", "content");
  if (replyContent != nullptr && replyContent->isString()) {
    card.replyContent = replyContent->asString();
  }
  const Json::Value* replyType = Member(json, "cardContext", "replyMsg", "type");
  if (replyType != nullptr && IsInt32(*replyType)) card.replyType = replyType->asInt();
  const Json::Value* level = Member(json, "cardContext", "mergeMessage", "level");
  if (level != nullptr && IsInt32(*level)) card.mergeMessage.level = level->asInt();
  ReadFlag(Member(json, "cardConfig", "canForward"), card.canForward);
  ReadFlag(Member(json, "cardConfig", "isForward"), card.isForward);
}

void SetIfNotEmpty(Json::Value& object, const char* key, const std::string& text) {
  if (!text.empty()) object[key] = text;
}

void SetIfNotNull(Json::Value& object, const char* key, const Json::Value& value) {
  if (!value.isNull()) object[key] = value;
}

}  // namespace

void ParseContent(Json::Value card_json, CardInfo& card) {
  try {
    ReadCardFields(card_json, card);
    card.cardJson = std::move(card_json);
  } catch (const std::exception& e) {
    IMLOG(kLogErr, "ParseContent", std::string("ParseContent failed reason is") + e.what());
  }
}

Json::Value BuildReplyMsgJson(const CardInfo& card) {
  Json::Value reply;
  SetIfNotEmpty(reply, "content", card.replyContent);
  reply["type"] = card.replyType;
  return reply;
}

Json::Value BuildPreMsgJson(const CardPreMsg& pre) {
  Json::Value out;
  SetIfNotEmpty(out, "content", pre.content);
  SetIfNotEmpty(out, "messageID", pre.messageID);
  SetIfNotEmpty(out, "nameEN", pre.nameEN);
  SetIfNotEmpty(out, "nameZH", pre.nameZH);
  SetIfNotEmpty(out, "sender", pre.sender);
  return out;
}

Json::Value BuildMergedItemJson(const MergedMessageItem& item) {
  Json::Value out;
  out["mediaType"] = item.mediaType;
  out["time"] = Json::Int64(item.time);
  out["isAppMsg"] = item.isAppMsg;
  out["appServiceName"] = item.appServiceName;
  out["appServiceIcon"] = item.appServiceIcon;
  out["appServiceTag"] = item.appServiceTag;
  SetIfNotEmpty(out, "msgId", item.msgId);
  SetIfNotEmpty(out, "account", item.account);
  SetIfNotEmpty(out, "msg", item.msg);
  SetIfNotNull(out, "html", item.html);
  SetIfNotEmpty(out, "name", item.name);
  SetIfNotNull(out, "appServiceInfo", item.appServiceInfo);
  SetIfNotEmpty(out, "appServiceId", item.appServiceId);
  SetIfNotEmpty(out, "msgExt", item.msgExt);
  return out;
}

Json::Value BuildMergeMessageJson(const CardMergeMessage& merge) {
  Json::Value out;
  out["level"] = merge.level;
  out["type"] = merge.type;
  SetIfNotEmpty(out, "fromName", merge.fromName);
  SetIfNotEmpty(out, "toName", merge.toName);
  Json::Value list;
  for (const MergedMessageItem& item : merge.messageList) {
    Json::Value value = BuildMergedItemJson(item);
    if (!value.isNull()) list.append(std::move(value));
  }
  SetIfNotNull(out, "messageList", list);
  return out;
}

Json::Value BuildCardContextJson(const CardInfo& card) {
  Json::Value context;
  SetIfNotNull(context, "replyMsg", BuildReplyMsgJson(card));
  SetIfNotNull(context, "preMsg", BuildPreMsgJson(card.preMsg));
  SetIfNotNull(context, "mergeMessage", BuildMergeMessageJson(card.mergeMessage));
  return context;
}

void BuildCardConfigJson(bool isForward, Json::Value& out) {
  if (!out.isNull() && !out.isObject()) return;
  out["isForward"] = isForward;
}

std::string BuildCardJson(const CardInfo& card) {
  Json::Value root;
  root["cardType"] = card.cardType;
  root["isShowSource"] = card.isShowSource;
  SetIfNotNull(root, "cardContext", BuildCardContextJson(card));
  Json::Value config;
  BuildCardConfigJson(card.isForward, config);
  SetIfNotNull(root, "cardConfig", config);
  std::string text = CompactJsonText(root);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string BuildCardExtJson(const CardExtInfo& ext) {
  Json::Value root;
  root["server_chat_id_str"] = ext.server_chat_id_str;
  root["has_quote"] = ext.has_quote;
  root["cardtype"] = ext.cardtype;
  root["client_chat_id"] = ext.client_chat_id;
  root["id"] = ext.id;
  root["status"] = ext.status;
  return StyledJsonText(root);
}
