#include "adapter/src/forward/ForwardRequest.h"

#include "adapter/src/boundary/JsonText.h"

namespace {

int32_t PluginSno(const Json::Value& request) {
  const Json::Value* sno = FindMember(request, "sno");
  if (sno && IsInt32(*sno)) return sno->asInt();
  if (sno && IsUInt32(*sno)) return static_cast<int32_t>(sno->asUInt());
  return 0;
}

ForwardOptions ReadOptions(const Json::Value& param) {
  ForwardOptions options;
  options.groupId = TextMember(param, "groupId");
  if (!options.groupId.empty()) {
    options.chatKind = ForwardChatKind::kGroup;
  } else {
    options.receiverAccount = TextMember(param, "receiverAccount");
    options.chatKind = ForwardChatKind::kUser;
  }
  const Json::Value* english = FindMember(param, "isEnglish");
  if (english && IsInt32(*english)) options.isEnglish = english->asInt();
  options.defaultImagePath = TextMember(param, "defaultImagePath");
  options.customizeImagePath = TextMember(param, "customizeImagePath");
  options.defaultFilePath = TextMember(param, "defaultFilePath");
  options.customizeFilePath = TextMember(param, "customizeFilePath");
  const Json::Value* share = FindMember(param, "publicShareLink");
  if (share && IsInt32(*share)) options.publicShareLink = share->asInt() != 0;
  const Json::Value* cross = FindMember(param, "isCrossInstance");
  if (cross && cross->isBool()) options.isCrossInstance = cross->asBool();
  const Json::Value* local = FindMember(param, "isOnlySaveLocal");
  if (local && IsInt32(*local)) options.isOnlySaveLocal = local->asInt();
  options.userAccount = TextMember(param, "userAccount");
  return options;
}

}  // namespace

ForwardRequest ForwardRequest::Read(const Json::Value& request) {
  ForwardRequest out;
  out.envelope = RequestEnvelope::Read(request);
  out.jsSno = PluginSno(request);
  const Json::Value* param = FindMember(request, "param");
  out.hasParam = param != nullptr && !param->isNull();
  if (!out.hasParam) return out;
  const Json::Value* ids = FindMember(*param, "msgIdList");
  if (ids != nullptr && ids->isArray() && !ids->empty()) {
    out.hasMsgIdList = true;
    out.msgIdListSize = ids->size();
    out.msgIds.reserve(ids->size());
    for (const Json::Value& id : *ids) {
      if (id.isString()) out.msgIds.push_back(id.asString());
    }
  }
  out.hasWindowId = ReadTextMember(*param, "imWindowId", &out.windowId);
  out.options = ReadOptions(*param);
  return out;
}

const char* ForwardRequest::MissingMember(const char* msgIdReason) const {
  if (!hasMsgIdList) return msgIdReason;
  if (options.userAccount.empty()) return "userAccount is empty";
  if (options.groupId.empty() && options.receiverAccount.empty()) {
    return "groupId and receiverAccount are empty";
  }
  return nullptr;
}
