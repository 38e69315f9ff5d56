#include "adapter/src/forward/TransmitItemBuilder.h"

#include <exception>

#include "adapter/src/content/ImAdapterCardJson.h"
#include "adapter/src/content/ImAdapterMediaToken.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "util/Utils.h"

namespace {

const char kBuild[] = "ImAdapterCmd::buildTransmitMsgItem";
const char kImageText[] = "ImAdapterCmd::buildImageTextForwardContent";
const char kCardConfig[] = "ImAdapterCmd::RewriteCardConfig";

const char kPrivateMessage[] = "***Private Message***";

constexpr int32_t kForwardableCard = 31;

}  // namespace

std::string TransmitItemBuilder::RepairVerticalTabs(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\\') {
      out += text[i++];
      continue;
    }
    size_t run = 0;
    while (i + run < text.size() && text[i + run] == '\\') ++run;
    const bool beforeV = i + run < text.size() && text[i + run] == 'v';
    if (beforeV && run % 2 == 1) {
      out.append(run - 1, '\\');
      out += "\\u000b";
      i += run + 1;
    } else {
      out.append(run, '\\');
      i += run;
    }
  }
  return out;
}

bool TransmitItemBuilder::IsForbiddenToForward(const RecordInfo& item) {
  const int32_t cardType = item.cardInfo.cardType;
  return item.mediatype == kMediaVoice || cardType == 21 || cardType == 11 || cardType == 64 ||
         cardType == 92 || (cardType == kForwardableCard && !item.cardInfo.canForward) ||
         item.sendStatus == 0 || item.showtext == kPrivateMessage;
}

void TransmitItemBuilder::ApplyReplyCard(RecordInfo& item, std::string& content,
                                         std::string& html) {
  content = item.cardInfo.replyContent;
  if (html.empty()) {
    const Json::Value& card = item.cardInfo.cardJson;
    const Json::Value* context = FindMember(card, "cardContext");
    const Json::Value* reply = context ? FindMember(*context, "replyMsg") : nullptr;
    if (reply && reply->isObject()) {
      const Json::Value* pc = FindMember(*reply, "PcContent");
      if (pc && pc->isString()) html = pc->asString();
    } else {
      IMLOG(kLogErr, kBuild, "cardJson error, cardJson = " + StyledJsonText(card));
    }
  }
  item.content = xml::Build(xml::XmlEscapeText(content), html, 0, false);
  item.mediatype = item.cardInfo.replyType;
  item.realMsgType = item.cardInfo.replyType;
}

bool TransmitItemBuilder::ClearAppExtra(RecordInfo& item) {
  if (item.extra.empty()) return true;
  try {
    Json::Value extra;
    if (ParseJsonText(item.extra, extra) != 0) {
      IMLOG(kLogErr, kBuild, "json parse failed");
      return false;
    }
    if (extra.isObject()) {
      const Json::Value* tag = FindMember(extra, "appServiceTag");
      if (tag && IsInt32(*tag) && tag->asInt() == 1) item.extra.clear();
    }
  } catch (const std::exception& e) {
    IMLOG(kLogErr, kBuild, std::string("JSON parsing error: ") + e.what());
  }
  return true;
}

void TransmitItemBuilder::RewriteCardConfig(RecordInfo& item, const std::string& html) {
  Json::Value card =
      item.cardInfo.cardJson.isObject() ? item.cardInfo.cardJson : Json::Value(Json::objectValue);
  Json::Value forwarded = card;
  Json::Value& config = forwarded["cardConfig"];
  if (config.isNull() || config.isObject()) BuildCardConfigJson(true, config);
  item.content = xml::Build(xml::XmlEscapeText(CompactJsonText(forwarded)), html, 0, false);
  if (card.isMember("cardConfig") && card["cardConfig"].isObject()) {
    // A JSON true, as the card config writes it, not the text "true".
    card["cardConfig"]["isForward"] = true;
    item.cardInfo.isForward = true;
  }
  item.cardInfo.cardJson = card;
  item.showhtml = util::CompressAndEncode(StyledJsonText(card));
  IMLOG(kLogDbg, kCardConfig, "content = " + item.content);
}

void TransmitItemBuilder::MakeForwarderTheSender(RecordInfo& item, const std::string& account,
                                                 const UserInfo& user) {
  item.sendStatus = 0;
  SetSender(item, account, user);
}

void TransmitItemBuilder::SetSender(RecordInfo& item, const std::string& account,
                                    const UserInfo& user) {
  item.originaccount = account;
  item.peername = !user.foreignName.empty() ? user.foreignName
                  : !user.name.empty()      ? user.name
                                            : account;
  item.peernativename = !user.name.empty()          ? user.name
                        : !user.foreignName.empty() ? user.foreignName
                                                    : account;
}

bool TransmitItemBuilder::buildTransmitMsgItem(RecordInfo& item, std::string& content,
                                               std::string& html, const ForwardOptions& options,
                                               int32_t jsSno) {
  UserInfo forwarder;
  bool known = false;
  return buildTransmitMsgItem(item, content, html, options, jsSno, &forwarder, &known);
}

bool TransmitItemBuilder::buildTransmitMsgItem(RecordInfo& item, std::string& content,
                                               std::string& html, const ForwardOptions& options,
                                               int32_t jsSno, UserInfo* forwarder, bool* known) {
  item.receiptState = 0;
  IMLOG(kLogDbg, kBuild, "content = " + item.content);
  std::string text;
  html.clear();
  xml::Parse(item.content, text, html, true);
  if (item.mediatype == kMediaCard) text = RepairVerticalTabs(text);
  content = text;
  IMLOG(kLogDbg, kBuild, "pContent = " + content);
  IMLOG(kLogDbg, kBuild, "html = " + html);

  Json::Value card;
  if (ParseJsonText(content, card) != 0) {
    // Plain text is the usual case, so this is a debug line.
    IMLOG(kLogDbg, kBuild,
          "json parse failed, content is not json,msgId is " + item.servermessageid);
  } else {
    ParseContent(card, item.cardInfo);
  }
  if (item.mediatype == kMediaCard && item.cardInfo.cardType == kCardTypeReply) {
    ApplyReplyCard(item, content, html);
  }
  if (!ClearAppExtra(item)) return false;
  item.isAppMsg = 0;
  if (IsForbiddenToForward(item)) {
    IMLOG(kLogErr, kBuild, "isSpecialMsg or privateMsg, prohibit  to forward");
    return false;
  }
  if (item.cardInfo.cardType == kForwardableCard) {
    item.showhtml = html;
    RewriteCardConfig(item, html);
  }
  item.showtranslate.clear();
  item.translateLang.clear();
  item.providerCn.clear();
  item.providerEn.clear();
  item.isShowTranslate = 0;
  item.emojiReplyInfos.clear();
  item.chatAtInfo.clear();
  if (!*known) {
    StoreQueries::QueryUserInfoByAccountId(jsSno, options.userAccount, forwarder);
    *known = true;
  }
  MakeForwarderTheSender(item, options.userAccount, *forwarder);
  return true;
}

std::string TransmitItemBuilder::buildImageTextForwardContent(const std::string& content,
                                                              const FileListItem& fileEntry) {
  std::string result = content;
  if (!ReplaceContentPic(result, BuildMediaToken(fileEntry))) {
    IMLOG(kLogErr, kImageText, "ReplaceContentPic failed");
  }
  return result;
}
