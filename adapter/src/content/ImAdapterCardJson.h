// Cards: the JSON documents carried as the text of reply, quote and
// merged-message messages. Reading a stored card into a CardInfo
// (RecordInfo.h), writing a card back as compact JSON text, and the small
// extension JSON that accompanies a sent card.
//
// Written keys follow one rule: texts only when not empty, JSON members only
// when not null, numbers and booleans always (unless a function says
// otherwise). Stateless; any thread. Nothing here throws to its caller.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

#include "adapter/src/content/RecordInfo.h"

// The extension JSON of a sent card, written under these exact keys.
struct CardExtInfo {
  std::string server_chat_id_str;
  int32_t has_quote = 0;
  int32_t cardtype = 0;
  std::string client_chat_id;
  std::string id;
  int32_t status = 0;
};

// Reads a stored card into `card`; members that are missing or of another
// JSON type are skipped and keep what `card` had. Read: "cardType" (an int,
// or a decimal string whose low 32 bits are kept), "cardContext"."replyMsg".
// "content" (string) and ."type" (int), "cardContext"."mergeMessage"."level"
// (int), "cardConfig"."canForward" and ."isForward" (a boolean, or an int
// taken as true when not 0). card.cardJson is set to card_json. Failures are
// logged ("ParseContent failed reason is ..."), never thrown.
void ParseContent(Json::Value card_json, CardInfo& card);

// The card as one line of compact JSON, without a final line feed, with the
// writer's \u escapes for U+0100..U+D7FF turned back into UTF-8:
// "cardType", "isShowSource", "cardContext" (when not null) and "cardConfig".
std::string BuildCardJson(const CardInfo& card);

// {"replyMsg", "preMsg", "mergeMessage"}, each only when not null; null when
// all three are.
Json::Value BuildCardContextJson(const CardInfo& card);

// {"content" (when not empty), "type"}: never null.
Json::Value BuildReplyMsgJson(const CardInfo& card);

// The quoted message's non-empty texts; null when all are empty.
Json::Value BuildPreMsgJson(const CardPreMsg& pre);

// {"level", "type", "fromName", "toName", "messageList"}; the names only when
// not empty, the list only when it has an item.
Json::Value BuildMergeMessageJson(const CardMergeMessage& merge);

// One merged message: "mediaType", "time" (64-bit), "isAppMsg",
// "appServiceName", "appServiceIcon", "appServiceTag" always; "msgId",
// "account", "msg", "name", "appServiceId", "msgExt" when not empty; "html",
// "appServiceInfo" when not null.
Json::Value BuildMergedItemJson(const MergedMessageItem& item);

// Sets out["isForward"] to isForward as a JSON boolean. `out` must be null
// or an object (another type is left unchanged).
void BuildCardConfigJson(bool isForward, Json::Value& out);

// The extension JSON in the styled form the adapter sends (tab indentation,
// final line feed, \u escapes for U+0100..U+D7FF turned back into UTF-8).
std::string BuildCardExtJson(const CardExtInfo& ext);
