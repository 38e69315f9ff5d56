// The adapter's typed view of what the message store keeps: one stored chat
// message (RecordInfo) with its attached files (FileListItem) and the card it
// carries (CardInfo), one group chat (GroupInfo) and the two name fields of a
// contact (UserInfo).
//
// Plain value types: every field starts at the default the store's JSON
// omits, so a conversion from JSON that finds no key leaves the default.
// Text fields hold UTF-8 bytes as received; "int" fields are 32-bit signed.
// The conversions to and from JSON are in ImAdapterConvertJson.h.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

// Media types ("mediatype") and the card type ("cardType") that forwarding
// treats apart from the others.
constexpr int32_t kMediaVoice = 1;
constexpr int32_t kMediaCard = 10;
constexpr int32_t kCardTypeReply = 65;

// One attached file of a stored message, as kept in the record's "filelist".
struct FileListItem {
  int32_t file_handle = -1;
  std::string message_server_chat_id_str;
  std::string file_name;
  std::string file_path;
  std::string file_real_save_name;
  std::string file_real_save_path;
  std::string file_type;
  uint32_t file_size = 0;
  std::string um_url;  // the media address inside a media token
  std::string um_plain_access_code;
  // Conversation the file is forwarded into; in memory only, never written to
  // or read from JSON.
  std::string convid;
  std::string width;   // decimal pixels
  std::string height;  // decimal pixels
  std::string onlyId;
  uint32_t expire = 0;
  uint32_t duration = 0;
  std::string emotionId;
  std::string objectId;
  std::string cdnUrl;
};

// The quoted earlier message of a card ("cardContext" / "preMsg").
struct CardPreMsg {
  std::string content;
  std::string messageID;
  std::string nameEN;
  std::string nameZH;
  std::string sender;
};

// One message inside a merged message. Text members are written only when
// not empty and JSON members only when not null; the others always.
struct MergedMessageItem {
  int32_t mediaType = 0;
  int64_t time = 0;  // milliseconds since 1970
  int32_t isAppMsg = 0;
  std::string appServiceName;
  std::string appServiceIcon;
  int32_t appServiceTag = 0;
  std::string msgId;
  std::string account;
  std::string msg;
  Json::Value html;  // null when absent
  std::string name;
  Json::Value appServiceInfo;  // null when absent
  std::string appServiceId;
  std::string msgExt;
};

// The merged message of a card ("cardContext" / "mergeMessage").
struct CardMergeMessage {
  int32_t level = 0;  // nesting depth: 0 for a merge of plain messages
  int32_t type = 0;
  std::string fromName;
  std::string toName;
  std::vector<MergedMessageItem> messageList;
};

// The card a record carries when its content is a card JSON document.
struct CardInfo {
  std::string replyContent;       // "cardContext" / "replyMsg" / "content"
  int32_t replyType = -1;         // "cardContext" / "replyMsg" / "type"
  CardPreMsg preMsg;              // "cardContext" / "preMsg"
  CardMergeMessage mergeMessage;  // "cardContext" / "mergeMessage"
  int32_t cardType = -1;          // "cardType"
  int32_t isShowSource = 0;       // "isShowSource"
  bool isForward = false;         // "cardConfig" / "isForward"
  bool canForward = false;        // "cardConfig" / "canForward"
  // The card JSON document the fields above were read from; null when the
  // record's content is not JSON.
  Json::Value cardJson;
};

// One stored chat message. The JSON key of each field is its name.
struct RecordInfo {
  std::string recordid;
  std::string convid;
  int32_t convautoid = -1;
  std::string servermessageid;
  std::string clientmessageid;
  int32_t chattype = -1;
  std::string content;
  int32_t contenttype = -1;
  std::string delivertime;
  std::string filelist;  // as stored: Base64 text of the JSON array of file entries
  std::string groupid;
  std::string groupname;
  std::string peername;
  std::string peernativename;
  std::string originaccount;
  std::string targetaccount;
  std::string showhtml;  // written to the host, never read from the store
  std::string showtext;
  std::string showtranslate;
  int32_t mediatype = -1;
  int32_t isread = 0;
  int32_t isdelete = 0;
  int32_t sourceflag = -1;
  std::string quote;
  std::string timestamp;
  std::string utcstamp;
  int32_t status = -1;
  int32_t submsgtype = 0;
  std::string providerCn;
  std::string providerEn;
  std::string combineMessageFileList;
  int32_t receiptState = 0;
  int32_t receiptCount = 0;
  int32_t iswithdraw = 0;
  int32_t duration = 0;
  int32_t source = 0;
  int32_t fileSize = 0;
  std::string extra;
  std::string attachUrl;
  int32_t isAppMsg = 0;
  std::string appServiceId;
  std::string appServiceName;
  int32_t isShowTranslate = 0;
  std::string translateLang;
  std::string emojiReplyInfos;
  std::string appReplyInfos;
  std::string chatAtInfo;
  int32_t isShowAudioText = 0;
  std::string audioText;
  std::string UTCDate;
  int32_t realMsgType = -1;
  // Decoded form of `filelist`, filled by the store query; never converted by
  // ConvertJsonToRecordInfo / ConvertRecordInfoToJson.
  std::vector<FileListItem> fileList;
  // The card of this record, filled by the card reader from `content`.
  CardInfo cardInfo;
  // Send status as reported to the host (never read from the store).
  int32_t sendStatus = 1;
};

// One group chat's information as the store keeps it.
struct GroupInfo {
  int32_t id = 0;
  std::string groupid;
  std::string group_groupid;
  int32_t capacity = 0;
  std::string name;
  std::string enname;
  std::string owner;
  std::string desc;
  int32_t grouptype = 0;
  int32_t joinflag = 0;
  std::string manifesto;
  int32_t msgpolicytype = 0;
  int32_t state = 0;
  int32_t settop = 0;
  int32_t orderby = 0;
  std::string timestamp;
  int32_t isfixed = 0;
  std::string exparams;
  int32_t singlefilespace = 0;
  std::string groupspaceid;
  std::string groupspacename;
  int32_t isinitgroupname = -1;
  std::string syncmembertime;
  std::string singlefilespacestr;
  int32_t teamnotifyisread = -1;
  std::string tenantId;
  int32_t crossCorpGroup = 0;
  std::string groupExtData;
  int32_t isGroupDisableSendMsg = 1;
  int32_t enableExternalDisplay = 0;
  int32_t showHisMsgPolicy = -1;
  std::string defaultIconList;
  std::string groupIcon;
  int32_t markState = 0;
};

// The two name fields of a contact that the adapter uses.
struct UserInfo {
  std::string name;
  std::string foreignName;
};
