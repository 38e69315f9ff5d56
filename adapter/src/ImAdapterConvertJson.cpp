#include "adapter/src/ImAdapterConvertJson.h"

#include <cstring>
#include <exception>
#include <limits>

#include "log/AdapterLog.h"

namespace {

// How a table field is read from JSON.
enum class ReadForm {
  kStrict,        // only a value of the field's own JSON type
  kIntOrDecimal,  // an int, or else a string read as a decimal number (low 32 bits)
  kNever,         // written to the host only, never read
};

// Key, JSON form and place of one text or int field of a struct. Exactly one
// of `text` and `number` is set.
template <typename Record>
struct FieldDesc {
  const char* key;
  std::string Record::*text;
  int32_t Record::*number;
  ReadForm form;
};

template <typename Record>
constexpr FieldDesc<Record> Text(const char* key, std::string Record::*member,
                                 ReadForm form = ReadForm::kStrict) {
  return {key, member, nullptr, form};
}

template <typename Record>
constexpr FieldDesc<Record> Int(const char* key, int32_t Record::*member,
                                ReadForm form = ReadForm::kStrict) {
  return {key, nullptr, member, form};
}

using R = RecordInfo;

// The record's JSON fields in the order they are read and written.
const FieldDesc<RecordInfo> kRecordFields[] = {
    Text("recordid", &R::recordid),
    Text("convid", &R::convid),
    Int("convautoid", &R::convautoid),
    Text("servermessageid", &R::servermessageid),
    Text("clientmessageid", &R::clientmessageid),
    Int("chattype", &R::chattype),
    Text("content", &R::content),
    Int("contenttype", &R::contenttype),
    Text("delivertime", &R::delivertime),
    Text("filelist", &R::filelist),
    Text("groupid", &R::groupid),
    Text("groupname", &R::groupname),
    Text("peername", &R::peername),
    Text("peernativename", &R::peernativename),
    Text("originaccount", &R::originaccount),
    Text("targetaccount", &R::targetaccount),
    Text("showhtml", &R::showhtml, ReadForm::kNever),
    Text("showtext", &R::showtext),
    Text("showtranslate", &R::showtranslate),
    Int("mediatype", &R::mediatype, ReadForm::kIntOrDecimal),
    Int("isread", &R::isread),
    Int("isdelete", &R::isdelete),
    Int("sourceflag", &R::sourceflag),
    Text("quote", &R::quote),
    Text("timestamp", &R::timestamp),
    Text("utcstamp", &R::utcstamp),
    Int("status", &R::status),
    Int("sendStatus", &R::sendStatus, ReadForm::kNever),
    Int("submsgtype", &R::submsgtype),
    Text("providerCn", &R::providerCn),
    Text("providerEn", &R::providerEn),
    Text("combineMessageFileList", &R::combineMessageFileList),
    Int("receiptState", &R::receiptState),
    Int("receiptCount", &R::receiptCount),
    Int("iswithdraw", &R::iswithdraw),
    Int("duration", &R::duration),
    Int("source", &R::source),
    Int("fileSize", &R::fileSize),
    Text("extra", &R::extra),
    Text("attachUrl", &R::attachUrl),
    Int("isAppMsg", &R::isAppMsg),
    Text("appServiceId", &R::appServiceId),
    Text("appServiceName", &R::appServiceName),
    Int("isShowTranslate", &R::isShowTranslate),
    Text("translateLang", &R::translateLang),
    Text("emojiReplyInfos", &R::emojiReplyInfos),
    Text("appReplyInfos", &R::appReplyInfos),
    Text("chatAtInfo", &R::chatAtInfo),
    Int("isShowAudioText", &R::isShowAudioText),
    Text("audioText", &R::audioText),
    Text("UTCDate", &R::UTCDate),
    Int("realMsgType", &R::realMsgType),
};

using G = GroupInfo;

const FieldDesc<GroupInfo> kGroupFields[] = {
    Int("id", &G::id),
    Text("groupid", &G::groupid),
    Text("group_groupid", &G::group_groupid),
    Int("capacity", &G::capacity),
    Text("name", &G::name),
    Text("enname", &G::enname),
    Text("owner", &G::owner),
    Text("desc", &G::desc),
    Int("grouptype", &G::grouptype),
    Int("joinflag", &G::joinflag),
    Text("manifesto", &G::manifesto),
    Int("msgpolicytype", &G::msgpolicytype),
    Int("state", &G::state),
    Int("settop", &G::settop),
    Int("orderby", &G::orderby),
    Text("timestamp", &G::timestamp),
    Int("isfixed", &G::isfixed),
    Text("exparams", &G::exparams),
    Int("singlefilespace", &G::singlefilespace),
    Text("groupspaceid", &G::groupspaceid),
    Text("groupspacename", &G::groupspacename),
    Int("isinitgroupname", &G::isinitgroupname),
    Text("syncmembertime", &G::syncmembertime),
    Text("singlefilespacestr", &G::singlefilespacestr),
    Int("teamnotifyisread", &G::teamnotifyisread),
    Text("tenantId", &G::tenantId),
    Int("crossCorpGroup", &G::crossCorpGroup),
    Text("groupExtData", &G::groupExtData),
    Int("isGroupDisableSendMsg", &G::isGroupDisableSendMsg),
    Int("enableExternalDisplay", &G::enableExternalDisplay),
    Int("showHisMsgPolicy", &G::showHisMsgPolicy),
    Text("defaultIconList", &G::defaultIconList),
    Text("groupIcon", &G::groupIcon),
    Int("markState", &G::markState),
};

// The member `key` of `item`, or null when it has none. Throws (JsonCpp's
// logic error) when `item` is neither an object nor null.
const Json::Value* Find(const Json::Value& item, const char* key) {
  return item.find(key, key + std::strlen(key));
}

bool IsText(const Json::Value* v) { return v != nullptr && v->isString(); }

// Copies `v` into `out` when it is a JSON string; leaves `out` otherwise.
void ReadText(const Json::Value* v, std::string& out) {
  if (IsText(v)) out = v->asString();
}

// Reads one table field of `record` from `item` by the shared reading rule.
template <typename Record>
void ReadField(const Json::Value& item, const FieldDesc<Record>& field, Record& record) {
  const Json::Value* v = Find(item, field.key);
  if (v == nullptr) return;
  if (field.text != nullptr) {
    ReadText(v, record.*field.text);
  } else if (v->isInt()) {
    record.*field.number = v->asInt();
  } else if (field.form == ReadForm::kIntOrDecimal && v->isString()) {
    record.*field.number = static_cast<int32_t>(StringToInt64(v->asString()));
  }
}

// Reads every readable field of the table in order. On a JsonCpp exception
// the fields read so far keep their new values and an error line is logged
// under `function`.
template <typename Record, size_t N>
void ReadFields(const char* function, const Json::Value& item, const FieldDesc<Record> (&fields)[N],
                Record& record) {
  try {
    for (const FieldDesc<Record>& field : fields) {
      if (field.form != ReadForm::kNever) ReadField(item, field, record);
    }
  } catch (const std::exception& e) {
    const char* what = e.what();
    if (what == nullptr || *what == '\0') {
      IMLOG(kLogErr, function, "convert json failed");
    } else {
      IMLOG(kLogErr, function, std::string("convert json failed, ") + what);
    }
  }
}

// Low 32 bits of the decimal number in `text`.
uint32_t LowBitsOf(const std::string& text) { return static_cast<uint32_t>(StringToInt64(text)); }

// `width` / `height`: the text as it is, or an unsigned number as decimal text.
void ReadPixels(const Json::Value* v, std::string& out) {
  if (v == nullptr) return;
  if (v->isString()) {
    out = v->asString();
  } else if (v->isUInt()) {
    out = std::to_string(v->asUInt());
  }
}

void ReadFileSize(const Json::Value* v, uint32_t& out) {
  if (v == nullptr) return;
  if (v->isString()) {
    out = LowBitsOf(v->asString());
  } else if (v->isUInt()) {
    out = v->asUInt();
  }
}

void ReadExpire(const Json::Value* v, uint32_t& out) {
  if (v == nullptr) return;
  if (v->isString() && !v->asString().empty()) {
    out = LowBitsOf(v->asString());
  } else if (v->isUInt()) {
    out = v->asUInt();
  }
}

void ReadUInt(const Json::Value* v, uint32_t& out) {
  if (v != nullptr && v->isUInt()) out = v->asUInt();
}

FileListItem ReadFileItem(const Json::Value& element) {
  FileListItem item;
  if (!element.isObject()) return item;
  const Json::Value* handle = Find(element, "file_handle");
  if (handle != nullptr && handle->isInt()) item.file_handle = handle->asInt();
  ReadText(Find(element, "message_server_chat_id_str"), item.message_server_chat_id_str);
  ReadText(Find(element, "file_name"), item.file_name);
  ReadText(Find(element, "file_path"), item.file_path);
  ReadText(Find(element, "file_real_save_name"), item.file_real_save_name);
  ReadText(Find(element, "file_real_save_path"), item.file_real_save_path);
  ReadText(Find(element, "file_type"), item.file_type);
  ReadFileSize(Find(element, "file_size"), item.file_size);
  ReadText(Find(element, "um_url"), item.um_url);
  ReadText(Find(element, "um_plain_access_code"), item.um_plain_access_code);
  ReadPixels(Find(element, "width"), item.width);
  ReadPixels(Find(element, "height"), item.height);
  ReadText(Find(element, "onlyId"), item.onlyId);
  ReadExpire(Find(element, "expire"), item.expire);
  ReadUInt(Find(element, "duration"), item.duration);
  ReadText(Find(element, "emotionId"), item.emotionId);
  ReadText(Find(element, "objectId"), item.objectId);
  ReadText(Find(element, "cdnUrl"), item.cdnUrl);
  return item;
}

// Sets out[key] = text when text is not empty.
void WriteText(Json::Value& out, const char* key, const std::string& text) {
  if (!text.empty()) out[key] = text;
}

Json::Value WriteFileItem(const FileListItem& item) {
  Json::Value out(Json::objectValue);
  out["file_handle"] = item.file_handle;
  WriteText(out, "message_server_chat_id_str", item.message_server_chat_id_str);
  WriteText(out, "file_name", item.file_name);
  WriteText(out, "file_path", item.file_path);
  WriteText(out, "file_real_save_name", item.file_real_save_name);
  WriteText(out, "file_real_save_path", item.file_real_save_path);
  WriteText(out, "file_type", item.file_type);
  out["file_size"] = std::to_string(item.file_size);
  WriteText(out, "um_url", item.um_url);
  WriteText(out, "um_plain_access_code", item.um_plain_access_code);
  WriteText(out, "width", item.width);
  WriteText(out, "height", item.height);
  WriteText(out, "onlyId", item.onlyId);
  out["expire"] = item.expire;
  out["duration"] = item.duration;
  WriteText(out, "emotionId", item.emotionId);
  WriteText(out, "objectId", item.objectId);
  WriteText(out, "cdnUrl", item.cdnUrl);
  return out;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int64_t StringToInt64(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= n || text[i] < '0' || text[i] > '9') return 0;
  // Accumulate as a negative number so that the minimum fits.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) {
      return negative ? kMin : std::numeric_limits<int64_t>::max();
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

void ConvertJsonToRecordInfo(const Json::Value& item, RecordInfo& record) {
  ReadFields("ConvertJsonToRecordInfo", item, kRecordFields, record);
}

void ConvertRecordInfoToJson(const RecordInfo& record, Json::Value& out) {
  if (!out.isNull() && !out.isObject()) {
    IMLOG(kLogErr, "ConvertRecordInfoToJson", "output is not a JSON object");
    return;
  }
  for (const FieldDesc<RecordInfo>& field : kRecordFields) {
    if (field.text != nullptr) {
      out[field.key] = record.*field.text;
    } else {
      out[field.key] = record.*field.number;
    }
  }
}

void ConvertJsonToFileList(const Json::Value& array, std::vector<FileListItem>& list) {
  if (array.isNull()) return;
  if (!array.isArray()) {
    IMLOG(kLogWar, "ConvertJsonToFileList", "file list is not a JSON array");
    return;
  }
  list.reserve(list.size() + array.size());
  for (Json::ArrayIndex i = 0; i < array.size(); ++i) {
    const Json::Value& element = array[i];
    if (!element.isObject() && !element.isNull()) {
      IMLOG(kLogWar, "ConvertJsonToFileList",
            "file entry " + std::to_string(i) + " is not a JSON object");
    }
    list.push_back(ReadFileItem(element));
  }
}

void ConvertFileListToJson(const std::vector<FileListItem>& list, Json::Value& out) {
  if (!out.isNull() && !out.isArray()) {
    IMLOG(kLogErr, "ConvertFileListToJson", "output is not a JSON array");
    return;
  }
  if (out.isNull()) out = Json::Value(Json::arrayValue);
  for (const FileListItem& item : list) out.append(WriteFileItem(item));
}

void ConvertJsonToGroupInfo(const Json::Value& item, GroupInfo& group) {
  ReadFields("ConvertJsonToGroupInfo", item, kGroupFields, group);
}

void ConvertJsonToUserInfo(const Json::Value& item, UserInfo& user) {
  if (!item.isObject()) return;
  ReadText(Find(item, "name"), user.name);
  ReadText(Find(item, "foreignName"), user.foreignName);
}
