#include "adapter/src/content/ImAdapterConvertJson.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <string_view>

#include "adapter/src/boundary/JsonText.h"
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

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// StringToInt64 on a view of the text.
int64_t DecimalToInt64(std::string_view text) {
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

// Copies `v` into `out` when it is a JSON string; leaves `out` otherwise.
void ReadText(const Json::Value& v, std::string& out) {
  const char* begin = nullptr;
  const char* end = nullptr;
  if (v.isString() && v.getString(&begin, &end)) out.assign(begin, end);
}

void ReadText(const Json::Value* v, std::string& out) {
  if (v != nullptr) ReadText(*v, out);
}

// Reads one table field of `record` from its JSON value by the shared rule.
template <typename Record>
void ReadFieldValue(const Json::Value& v, const FieldDesc<Record>& field, Record& record) {
  if (field.text != nullptr) {
    ReadText(v, record.*field.text);
  } else if (v.isInt()) {
    record.*field.number = v.asInt();
  } else if (field.form == ReadForm::kIntOrDecimal && v.isString()) {
    // Read in place: the text is not copied for a number.
    const char* begin = nullptr;
    const char* end = nullptr;
    v.getString(&begin, &end);
    const std::string_view text(begin, static_cast<size_t>(end - begin));
    record.*field.number = static_cast<int32_t>(DecimalToInt64(text));
  }
}

// The readable fields of a table, sorted by key in the byte order JsonCpp
// keeps object members in.
template <typename Record, size_t N>
std::vector<const FieldDesc<Record>*> SortedReadable(const FieldDesc<Record> (&fields)[N]) {
  std::vector<const FieldDesc<Record>*> sorted;
  for (const FieldDesc<Record>& field : fields) {
    if (field.form != ReadForm::kNever) sorted.push_back(&field);
  }
  std::sort(sorted.begin(), sorted.end(),
            [](const FieldDesc<Record>* a, const FieldDesc<Record>* b) {
              return std::string_view(a->key) < std::string_view(b->key);
            });
  return sorted;
}

// Reads the fields of an object in one pass over its members: both the
// members and `sorted` are in key order, so each side is walked once.
template <typename Record>
void ReadObjectMembers(const Json::Value& object,
                       const std::vector<const FieldDesc<Record>*>& sorted, Record& record) {
  auto field = sorted.begin();
  const auto lastMember = object.end();
  for (auto member = object.begin(); member != lastMember && field != sorted.end();) {
    const char* nameEnd = nullptr;
    const char* name = member.memberName(&nameEnd);
    const int order = std::string_view(name, static_cast<size_t>(nameEnd - name))
                          .compare(std::string_view((*field)->key));
    if (order < 0) {
      ++member;
    } else if (order > 0) {
      ++field;
    } else {
      ReadFieldValue(*member, **field, record);
      ++member;
      ++field;
    }
  }
}

// Reads every readable field of the table. An object is read in one pass;
// anything else goes key by key, which for a value that is neither an object
// nor null raises JsonCpp's own error. On a JsonCpp exception the fields read
// so far keep their new values and an error line is logged under `function`.
template <typename Record, size_t N>
void ReadFields(const char* function, const Json::Value& item, const FieldDesc<Record> (&fields)[N],
                Record& record) {
  // Never destroyed: a command may still read records while the process ends.
  static const auto* const sortedFields =
      new std::vector<const FieldDesc<Record>*>(SortedReadable(fields));
  const std::vector<const FieldDesc<Record>*>& sorted = *sortedFields;
  try {
    if (item.isObject()) {
      ReadObjectMembers(item, sorted, record);
      return;
    }
    for (const FieldDesc<Record>& field : fields) {
      if (field.form == ReadForm::kNever) continue;
      const Json::Value* v = Find(item, field.key);
      if (v != nullptr) ReadFieldValue(*v, field, record);
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

// One member value of a file entry, reduced to what the entry's fields can
// take: a string, an integral number within 64 bits (an integral real
// included), or anything else.
struct Scalar {
  enum Kind { kString, kNumber, kOther } kind = kOther;
  std::string_view text;
  int64_t number = 0;

  bool IsUInt32() const {
    return kind == kNumber && number >= 0 && number <= std::numeric_limits<uint32_t>::max();
  }
  bool IsInt32() const {
    return kind == kNumber && number >= std::numeric_limits<int32_t>::min() &&
           number <= std::numeric_limits<int32_t>::max();
  }
};

Scalar ScalarOf(const Json::Value& v) {
  Scalar s;
  const char* begin = nullptr;
  const char* end = nullptr;
  if (v.isString() && v.getString(&begin, &end)) {
    s.kind = Scalar::kString;
    s.text = std::string_view(begin, static_cast<size_t>(end - begin));
  } else if (v.isInt64()) {
    s.kind = Scalar::kNumber;
    s.number = v.asInt64();
  }
  return s;
}

// How a file entry field takes a value.
enum class FileForm {
  kText,      // a string
  kPixels,    // a string as it is, or an unsigned number as decimal text
  kFileSize,  // a decimal string (low 32 bits), or an unsigned number
  kExpire,    // a non-empty decimal string (low 32 bits), or an unsigned number
  kUInt,      // an unsigned number
  kHandle,    // a signed 32-bit number
};

struct FileFieldDesc {
  std::string_view key;
  FileForm form;
  std::string FileListItem::*text;
  uint32_t FileListItem::*number;
};

using F = FileListItem;

// The file entry's JSON fields, sorted by key for the lookup below.
const FileFieldDesc kFileFields[] = {
    {"cdnUrl", FileForm::kText, &F::cdnUrl, nullptr},
    {"duration", FileForm::kUInt, nullptr, &F::duration},
    {"emotionId", FileForm::kText, &F::emotionId, nullptr},
    {"expire", FileForm::kExpire, nullptr, &F::expire},
    {"file_handle", FileForm::kHandle, nullptr, nullptr},
    {"file_name", FileForm::kText, &F::file_name, nullptr},
    {"file_path", FileForm::kText, &F::file_path, nullptr},
    {"file_real_save_name", FileForm::kText, &F::file_real_save_name, nullptr},
    {"file_real_save_path", FileForm::kText, &F::file_real_save_path, nullptr},
    {"file_size", FileForm::kFileSize, nullptr, &F::file_size},
    {"file_type", FileForm::kText, &F::file_type, nullptr},
    {"height", FileForm::kPixels, &F::height, nullptr},
    {"message_server_chat_id_str", FileForm::kText, &F::message_server_chat_id_str, nullptr},
    {"objectId", FileForm::kText, &F::objectId, nullptr},
    {"onlyId", FileForm::kText, &F::onlyId, nullptr},
    {"um_plain_access_code", FileForm::kText, &F::um_plain_access_code, nullptr},
    {"um_url", FileForm::kText, &F::um_url, nullptr},
    {"width", FileForm::kPixels, &F::width, nullptr},
};

constexpr size_t kFileFieldCount = sizeof(kFileFields) / sizeof(kFileFields[0]);

// Index of `key` in kFileFields, or kFileFieldCount for a key the entry
// does not keep.
size_t FindFileField(std::string_view key) {
  const FileFieldDesc* end = kFileFields + kFileFieldCount;
  const FileFieldDesc* found = std::lower_bound(
      kFileFields, end, key, [](const FileFieldDesc& f, std::string_view k) { return f.key < k; });
  return (found != end && found->key == key) ? static_cast<size_t>(found - kFileFields)
                                             : kFileFieldCount;
}

uint32_t LowBitsOf(std::string_view text) { return static_cast<uint32_t>(DecimalToInt64(text)); }

// Stores `value` into the field of `item` that `field` describes, when the
// value has a form the field takes; leaves the field otherwise.
void ApplyFileField(const FileFieldDesc& field, const Scalar& value, FileListItem& item) {
  const bool isText = value.kind == Scalar::kString;
  switch (field.form) {
    case FileForm::kText:
      if (isText) (item.*field.text).assign(value.text);
      break;
    case FileForm::kPixels:
      if (isText) {
        (item.*field.text).assign(value.text);
      } else if (value.IsUInt32()) {
        item.*field.text = std::to_string(value.number);
      }
      break;
    case FileForm::kFileSize:
    case FileForm::kExpire:
      if (isText && (field.form == FileForm::kFileSize || !value.text.empty())) {
        item.*field.number = LowBitsOf(value.text);
      } else if (value.IsUInt32()) {
        item.*field.number = static_cast<uint32_t>(value.number);
      }
      break;
    case FileForm::kUInt:
      if (value.IsUInt32()) item.*field.number = static_cast<uint32_t>(value.number);
      break;
    case FileForm::kHandle:
      if (value.IsInt32()) item.file_handle = static_cast<int32_t>(value.number);
      break;
  }
}

// Fills `item` (fresh, with the defaults) from one element of a file list.
void ReadFileItem(const Json::Value& element, FileListItem& item) {
  if (!element.isObject()) return;
  const auto lastMember = element.end();
  for (auto member = element.begin(); member != lastMember; ++member) {
    const char* nameEnd = nullptr;
    const char* name = member.memberName(&nameEnd);
    const size_t index = FindFileField(std::string_view(name, static_cast<size_t>(nameEnd - name)));
    if (index != kFileFieldCount) ApplyFileField(kFileFields[index], ScalarOf(*member), item);
  }
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

}  // namespace

int64_t StringToInt64(const std::string& text) { return DecimalToInt64(text); }

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
  Json::ArrayIndex index = 0;
  for (const Json::Value& element : array) {
    if (!element.isObject() && !element.isNull()) {
      IMLOG(kLogWar, "ConvertJsonToFileList",
            "file entry " + std::to_string(index) + " is not a JSON object");
    }
    ReadFileItem(element, list.emplace_back());
    ++index;
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

std::string FileListText(const std::vector<FileListItem>& list) {
  Json::Value array(Json::arrayValue);
  ConvertFileListToJson(list, array);
  return StyledJsonText(array);
}

void ConvertJsonToGroupInfo(const Json::Value& item, GroupInfo& group) {
  ReadFields("ConvertJsonToGroupInfo", item, kGroupFields, group);
}

void ConvertJsonToUserInfo(const Json::Value& item, UserInfo& user) {
  if (!item.isObject()) return;
  ReadText(Find(item, "name"), user.name);
  ReadText(Find(item, "foreignName"), user.foreignName);
}
