#include "adapter/src/forward/MergedCardBuilder.h"

#include <algorithm>

#include "adapter/src/forward/ForwardSupport.h"
#include "adapter/src/content/ImAdapterCardJson.h"
#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/forward/TransmitItemBuilder.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "util/Utils.h"

namespace {

const char kUpdatePreview[] = "ImAdapterCmd::updatePreviewMsg";
const char kSendCard[] = "ImAdapterCmd::sendCard";
const char kNickName[] = "ImAdapterCmd::getI18nNoNickName";
const char kDealFileList[] = "ImAdapterCmd::dealFileList";

constexpr int32_t kMergedCardType = 19;
constexpr int32_t kMergedRealMsgType = 101900;
constexpr int32_t kNoteLevel = 2;  // merged cards this deep are shown as a note

// The JSON array of a file list text: packed (gzip + Base64), plain Base64 as
// the store keeps it, or plain JSON. False when none of these parses.
bool ParseFileListText(const std::string& text, Json::Value* array) {
  if (ParseJsonText(util::DecodeAndDecompress(text), *array) == 0) return true;
  std::string decoded;
  return util::Base64Decode(text, &decoded) && ParseJsonText(decoded, *array) == 0;
}

void AppendElements(const Json::Value& from, const std::string& onlyId, bool setOnlyId,
                    Json::Value* to) {
  if (!from.isArray()) return;
  for (Json::Value element : from) {
    if (setOnlyId && element.isObject()) element["onlyId"] = onlyId;
    to->append(element);
  }
}

}  // namespace

MergedCardBuilder::MergedCardBuilder(const ForwardOptions& options, int32_t jsSno)
    : options_(options), jsSno_(jsSno), media_(options) {}

const UserInfo& MergedCardBuilder::LookUpUser(const std::string& account) {
  const auto found = users_.find(account);
  if (found != users_.end()) return found->second;
  UserInfo user;
  StoreQueries::QueryUserInfoByAccountId(jsSno_, account, &user);
  return users_.emplace(account, user).first->second;
}

std::string MergedCardBuilder::getI18nNoNickName(const std::string& account,
                                                 const std::string& chineseDefault,
                                                 const std::string& englishDefault) {
  const UserInfo& user = LookUpUser(account);
  const std::string& preferred = options_.isEnglish == 0 ? user.name : user.foreignName;
  const std::string& other = options_.isEnglish == 0 ? user.foreignName : user.name;
  if (!preferred.empty()) return preferred;
  if (!other.empty()) return other;
  const std::string& fallback = options_.isEnglish == 0 ? chineseDefault : englishDefault;
  if (!fallback.empty()) return fallback;
  IMLOG(kLogWar, kNickName, "Failed to be found name, account is " + account);
  return account;
}

std::string MergedCardBuilder::SpecialPreview(const RecordInfo& record, int32_t* mediaType) {
  const bool english = options_.isEnglish != 0;
  if (record.mediatype == kMediaVoice) {
    *mediaType = 0;
    return english ? "[Audio]" : "[语音]";
  }
  if (record.mediatype != kMediaCard) return std::string();
  const CardInfo& card = record.cardInfo;
  if (card.cardType == kMergedCardType) {
    if (card.mergeMessage.level < kNoteLevel) {
      maxLevel_ =
          hasMergedCard_ ? std::max(maxLevel_, card.mergeMessage.level) : card.mergeMessage.level;
      hasMergedCard_ = true;
      return std::string();
    }
    *mediaType = 0;
    return english ? "[Note]" : "[笔记]";
  }
  if (card.cardType == kCardTypeReply && !card.replyContent.empty()) {
    *mediaType = card.replyType;
    return card.replyContent;
  }
  return std::string();
}

bool MergedCardBuilder::PrepareMedia(RecordInfo& record, std::string& text, std::string& html) {
  const bool expired = media_.mediaExpire(jsSno_, record, false);
  const bool created = media_.creatNewPicFile(record, text, html, false);
  if (!expired) {
    if (created) IMLOG(kLogInf, kUpdatePreview, "isCreatNewPicFile is true and is not expire");
    return true;
  }
  const ForwardSupport::Reupload outcome = ForwardSupport::ReuploadExpiredMedia(
      jsSno_, record, text, html, options_, media_, kUpdatePreview);
  if (outcome == ForwardSupport::Reupload::kRefused) {
    IMLOG(kLogWar, kUpdatePreview, "local does not isExist");
    return true;
  }
  if (outcome == ForwardSupport::Reupload::kNothingBack) {
    IMLOG(kLogErr, kUpdatePreview, "UploadFile fileList empty");
    return false;
  }
  IMLOG(kLogInf, kUpdatePreview, "filelistTemp begin");
  return true;
}

void MergedCardBuilder::FillAppService(const RecordInfo& record, MergedMessageItem* item) const {
  item->isAppMsg = record.isAppMsg;
  item->appServiceName = record.appServiceName;
  item->appServiceId = record.appServiceId;
  Json::Value extra;
  if (record.extra.empty() || ParseJsonText(record.extra, extra) != 0 || !extra.isObject()) {
    return;
  }
  if (extra["appServiceIcon"].isString()) item->appServiceIcon = extra["appServiceIcon"].asString();
  if (IsInt32(extra["appServiceTag"])) item->appServiceTag = extra["appServiceTag"].asInt();
}

bool MergedCardBuilder::PreviewRecord(RecordInfo& record, MergedMessageItem* item) {
  std::string text;
  std::string html;
  xml::Parse(record.content, text, html, true);
  Json::Value card;
  if (ParseJsonText(text, card) == 0) ParseContent(card, record.cardInfo);
  int32_t mediaType = record.mediatype;
  const std::string special = SpecialPreview(record, &mediaType);
  if (!record.fileList.empty() && !PrepareMedia(record, text, html)) return false;
  IMLOG(kLogDbg, kUpdatePreview, "msg.content = " + record.content);
  IMLOG(kLogDbg, kUpdatePreview, "content = " + text);
  item->mediaType = mediaType;
  item->time = StringToInt64(record.utcstamp);
  item->msgId = record.servermessageid;
  item->account = record.originaccount;
  item->name = getI18nNoNickName(record.originaccount, "", "");
  item->msg = special.empty() ? text : special;
  if (!html.empty()) item->html = html;
  FillAppService(record, item);
  IMLOG(kLogDbg, kUpdatePreview, "msgItem.msg = " + item->msg);
  return true;
}

void MergedCardBuilder::updatePreviewMsg(std::vector<RecordInfo>& records, RecordInfo& merged) {
  IMLOG(kLogInf, kUpdatePreview, "updatePreviewMsg begin");
  CardInfo card;
  std::vector<RecordInfo> kept;
  for (RecordInfo& record : records) {
    MergedMessageItem item;
    if (!PreviewRecord(record, &item)) continue;
    card.mergeMessage.messageList.push_back(std::move(item));
    kept.push_back(record);
  }
  if (records.empty()) IMLOG(kLogWar, kUpdatePreview, "messages is empty!");
  card.cardType = kMergedCardType;
  card.mergeMessage.level = Level();
  if (!records.empty()) {
    const RecordInfo& first = records.front();
    card.mergeMessage.type = first.chattype;
    if (first.chattype == 0) {
      card.mergeMessage.fromName = getI18nNoNickName(first.originaccount, "", "");
      card.mergeMessage.toName = getI18nNoNickName(first.targetaccount, "", "");
    } else {
      card.mergeMessage.fromName = first.groupname;
    }
  }
  sendCard(card, dealFileList(kept), merged);
  merged.realMsgType = kMergedRealMsgType;
}

void MergedCardBuilder::FillAddressing(RecordInfo& merged) {
  if (options_.chatKind == ForwardChatKind::kGroup) {
    GroupInfo group;
    StoreQueries::QueryGroupInfoByGroupId(jsSno_, options_.groupId, &group);
    merged.chattype = 1;
    merged.convid = options_.groupId;
    merged.groupid = options_.groupId;
    merged.groupname = group.name;
  } else {
    merged.chattype = 0;
    merged.convid = options_.receiverAccount;
    merged.targetaccount = options_.receiverAccount;
  }
  TransmitItemBuilder::SetSender(merged, options_.userAccount, LookUpUser(options_.userAccount));
}

void MergedCardBuilder::sendCard(const CardInfo& card, const std::string& fileList,
                                 RecordInfo& merged) {
  IMLOG(kLogInf, kSendCard, "sendCard begin");
  const std::string cardJson = BuildCardJson(card);
  merged.content = xml::Build(xml::HtmlEscapeText(cardJson), "", 0, false);
  merged.mediatype = kMediaCard;
  merged.clientmessageid = ForwardSupport::newClientMsgId();
  merged.servermessageid = merged.clientmessageid;
  FillAddressing(merged);
  merged.sendStatus = 0;
  merged.isAppMsg = 0;
  merged.timestamp = ForwardSupport::currentTimeMillis();
  merged.utcstamp = merged.timestamp;
  merged.combineMessageFileList = fileList;
  if (merged.showtext.empty()) merged.showtext = "[卡片]";
  CardExtInfo ext;
  ext.server_chat_id_str = merged.clientmessageid;
  ext.client_chat_id = merged.clientmessageid;
  ext.cardtype = kMergedCardType;
  merged.quote = BuildCardExtJson(ext);
  merged.cardInfo = card;
}

std::string MergedCardBuilder::dealFileList(const std::vector<RecordInfo>& records) {
  Json::Value all(Json::arrayValue);
  for (const RecordInfo& record : records) {
    const bool useMerged = record.filelist.empty() || record.mediatype == kMediaVoice;
    const std::string& text = useMerged ? record.combineMessageFileList : record.filelist;
    if (text.empty()) continue;
    Json::Value entries;
    if (!ParseFileListText(text, &entries)) {
      IMLOG(kLogErr, kDealFileList, " fileListTemp JsonParse failed");
      continue;
    }
    const std::string onlyId =
        record.originaccount + (record.utcstamp.empty() ? std::string("0") : record.utcstamp);
    AppendElements(entries, onlyId, !useMerged, &all);
  }
  if (all.empty()) return std::string();
  return StyledJsonText(all);
}
