#include "plugins/standin/StandInStore.h"

#include <exception>
#include <set>
#include <string>
#include <string_view>

#include "plugins/common/StandInJson.h"
#include "plugins/common/StandInSettings.h"
#include "util/Utils.h"

namespace standin {
namespace {

struct RecordField {
  const char* name;
  bool isInt;
  int defaultValue;  // for integer fields
};

// Every member of a history record that the store keeps, besides "recordid"
// (the row id, answered as a text).
const RecordField kRecordFields[] = {
    {"convid", false, 0},
    {"convautoid", true, -1},
    {"servermessageid", false, 0},
    {"clientmessageid", false, 0},
    {"chattype", true, -1},
    {"content", false, 0},
    {"contenttype", true, -1},
    {"delivertime", false, 0},
    {"filelist", false, 0},
    {"groupid", false, 0},
    {"groupname", false, 0},
    {"peername", false, 0},
    {"peernativename", false, 0},
    {"originaccount", false, 0},
    {"targetaccount", false, 0},
    {"showhtml", false, 0},
    {"showtext", false, 0},
    {"showtranslate", false, 0},
    {"mediatype", true, -1},
    {"isread", true, 0},
    {"isdelete", true, 0},
    {"sourceflag", true, -1},
    {"quote", false, 0},
    {"timestamp", false, 0},
    {"utcstamp", false, 0},
    {"status", true, -1},
    {"sendStatus", true, 1},
    {"submsgtype", true, 0},
    {"providerCn", false, 0},
    {"providerEn", false, 0},
    {"combineMessageFileList", false, 0},
    {"receiptState", true, 0},
    {"receiptCount", true, 0},
    {"iswithdraw", true, 0},
    {"duration", true, 0},
    {"source", true, 0},
    {"fileSize", true, 0},
    {"extra", false, 0},
    {"attachUrl", false, 0},
    {"isAppMsg", true, 0},
    {"appServiceId", false, 0},
    {"appServiceName", false, 0},
    {"isShowTranslate", true, 0},
    {"translateLang", false, 0},
    {"emojiReplyInfos", false, 0},
    {"appReplyInfos", false, 0},
    {"chatAtInfo", false, 0},
    {"isShowAudioText", true, 0},
    {"audioText", false, 0},
    {"UTCDate", false, 0},
    {"realMsgType", true, -1},
};
const int kFieldCount = static_cast<int>(sizeof kRecordFields / sizeof kRecordFields[0]);

const char kSchema[] =
    "CREATE INDEX IF NOT EXISTS history_server_id ON history_records(servermessageid);"
    "CREATE INDEX IF NOT EXISTS history_client_id ON history_records(clientmessageid);"
    "CREATE INDEX IF NOT EXISTS history_conv ON history_records(convid);"
    "CREATE TABLE IF NOT EXISTS record_files(record_id INTEGER NOT NULL, file_name TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS record_files_name ON record_files(file_name);"
    "CREATE TABLE IF NOT EXISTS groups(groupid TEXT PRIMARY KEY, name TEXT, data TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS contacts(accountid TEXT PRIMARY KEY, name TEXT,"
    " data TEXT NOT NULL);";

std::string RecordTableSql() {
  std::string sql =
      "CREATE TABLE IF NOT EXISTS history_records(record_id INTEGER PRIMARY KEY AUTOINCREMENT";
  for (const RecordField& field : kRecordFields) {
    sql += std::string(",\"") + field.name + "\" " + (field.isInt ? "INTEGER" : "TEXT");
  }
  return sql + ");";
}

std::string InsertSql() {
  std::string names;
  std::string values;
  for (int i = 0; i < kFieldCount; ++i) {
    names += std::string(i ? "," : "") + "\"" + kRecordFields[i].name + "\"";
    values += (i ? ",?" : "?") + std::to_string(i + 1);
  }
  return "INSERT INTO history_records(" + names + ") VALUES(" + values + ")";
}

// A record's integer member as the adapter writes it; "mediatype" may also come
// as a decimal text.
int64_t IntMember(const Json::Value& record, const RecordField& field) {
  const Json::Value& value = record[field.name];
  if (value.isInt()) return value.asInt();
  if (value.isString() && std::string(field.name) == "mediatype") {
    try {
      return std::stoll(value.asString());
    } catch (const std::exception&) {
      return 0;
    }
  }
  return field.defaultValue;
}

// The names under which a stored file list's entries can be looked up.
std::set<std::string> FileNamesOf(const std::string& fileList) {
  std::set<std::string> names;
  std::string decoded;
  Json::Value entries;
  std::string reason;
  if (fileList.empty() || !util::Base64Decode(fileList, &decoded)) return names;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(decoded.data(), decoded.data() + decoded.size(), &entries, &reason) ||
      !entries.isArray()) {
    return names;
  }
  for (const Json::Value& entry : entries) {
    for (const char* key : {"file_name", "file_real_save_name"}) {
      const std::string name = TextMember(entry, key);
      if (!name.empty()) names.insert(name);
    }
  }
  return names;
}

Json::Value Failure(const Json::Value& request, const std::string& reason) {
  return MakeAnswer(request, 1, reason);
}

// The "match_value" of the first "datalist" entry with the given keytype.
bool MatchValue(const Json::Value& request, int* keytype, int* operationtype, Json::Value* value) {
  const Json::Value& info = request["param"]["_multimatchinfo"];
  if (!info.isObject() || !info["datalist"].isArray() || info["datalist"].empty()) return false;
  const Json::Value& first = info["datalist"][0];
  if (!first.isObject() || !first["keytype"].isInt()) return false;
  *keytype = first["keytype"].asInt();
  *operationtype = info["operationtype"].isInt() ? info["operationtype"].asInt() : 0;
  *value = first["match_value"];
  return true;
}

std::vector<std::string> SplitIds(const std::string& text) {
  std::vector<std::string> keys;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string::npos ? text.size() : comma;
    keys.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return keys;
}

// The members of an answered record, built once: an object holding every
// member (null) in the order the JSON library keeps them (by name), and for
// each of them, in that order, the row column it is read from (0: the row id).
// A record copies the tree and fills it in order, instead of looking up and
// inserting each of its 52 members.
struct RecordShape {
  Json::Value members{Json::objectValue};
  std::vector<int> columns;
};

const RecordShape& TheRecordShape() {
  // Never destroyed: the plugin's worker may still answer while the process ends.
  static const RecordShape* const shape = [] {
    auto* built = new RecordShape;
    built->members[Json::StaticString("recordid")] = Json::Value();
    for (const RecordField& field : kRecordFields) {
      built->members[Json::StaticString(field.name)] = Json::Value();
    }
    for (auto member = built->members.begin(); member != built->members.end(); ++member) {
      const std::string name = member.name();
      int column = 0;
      for (int i = 0; i < kFieldCount; ++i) {
        if (name == kRecordFields[i].name) column = i + 1;
      }
      built->columns.push_back(column);
    }
    return built;
  }();
  return *shape;
}

// A text column as a JSON string. Most text columns are empty: those share
// one static empty text instead of a buffer each.
Json::Value TextValue(std::string_view text) {
  static const Json::StaticString kEmpty("");
  return text.empty() ? Json::Value(kEmpty) : Json::Value(text.data(), text.data() + text.size());
}

}  // namespace

Json::Value StandInStore::Handle(const Json::Value& request) {
  try {
    if (!request["param"].isObject()) return Failure(request, "param is missing");
    std::string error;
    if (!EnsureOpen(&error)) return Failure(request, error);
    switch (RequestCmd(request)) {
      case kCmdAddRecord:
        return AddRecord(request);
      case kCmdQueryRecords:
        return QueryRecords(request);
      case kCmdAddGroup:
        return AddGroup(request);
      case kCmdQueryGroup:
        return QueryGroup(request);
      case kCmdAddContact:
        return AddContact(request);
      case kCmdQueryContact:
        return QueryContact(request);
      default:
        return Failure(request, "unknown cmd " + std::to_string(RequestCmd(request)));
    }
  } catch (const std::exception& e) {
    return Failure(request, std::string("request failed: ") + e.what());
  }
}

bool StandInStore::OpenAt(const std::string& path, std::string* error) {
  insertRecord_ = StandInStatement();
  insertFile_ = StandInStatement();
  byMessageId_ = StandInStatement();
  byFileName_ = StandInStatement();
  if (!db_.Open(path, error)) return false;
  if (CreateSchema(error)) return true;
  db_.Close();
  return false;
}

bool StandInStore::EnsureOpen(std::string* error) {
  const std::string path = Setting("IM_STORE_DB", "im_store.db");
  if (db_.IsOpen() && db_.Path() == path) return true;
  return OpenAt(path, error);
}

bool StandInStore::CreateSchema(std::string* error) {
  if (!db_.Exec(RecordTableSql(), error) || !db_.Exec(kSchema, error)) return false;
  insertRecord_ = db_.Prepare(InsertSql(), error);
  insertFile_ = db_.Prepare("INSERT INTO record_files(record_id, file_name) VALUES(?1, ?2)", error);
  byMessageId_ = db_.Prepare(
      "SELECT * FROM history_records WHERE servermessageid = ?1 OR clientmessageid = ?1", error);
  byFileName_ = db_.Prepare(
      "SELECT h.* FROM record_files AS f JOIN history_records AS h ON h.record_id = f.record_id"
      " WHERE f.file_name = ?1 ORDER BY h.record_id",
      error);
  return insertRecord_.Valid() && insertFile_.Valid() && byMessageId_.Valid() &&
         byFileName_.Valid();
}

bool StandInStore::InsertRecord(const Json::Value& record, int64_t* recordId, std::string* error) {
  insertRecord_.Reset();
  for (int i = 0; i < kFieldCount; ++i) {
    const RecordField& field = kRecordFields[i];
    if (field.isInt) {
      insertRecord_.BindInt(i + 1, IntMember(record, field));
    } else {
      insertRecord_.BindText(i + 1, TextMember(record, field.name));
    }
  }
  if (insertRecord_.Step() != 0) {
    *error = "cannot store the record: " + db_.LastError();
    return false;
  }
  *recordId = db_.LastInsertId();
  return IndexFiles(*recordId, TextMember(record, "filelist"), error);
}

bool StandInStore::IndexFiles(int64_t recordId, const std::string& fileList, std::string* error) {
  for (const std::string& name : FileNamesOf(fileList)) {
    insertFile_.Reset();
    insertFile_.BindInt(1, recordId);
    insertFile_.BindText(2, name);
    if (insertFile_.Step() != 0) {
      *error = "cannot index the record's files: " + db_.LastError();
      return false;
    }
  }
  return true;
}

bool StandInStore::AddRecords(const std::vector<Json::Value>& records, std::string* error) {
  if (!db_.IsOpen()) {
    *error = "the store is not open";
    return false;
  }
  if (!db_.Exec("BEGIN", error)) return false;
  for (const Json::Value& record : records) {
    int64_t id = 0;
    if (!InsertRecord(record, &id, error)) {
      std::string ignored;
      db_.Exec("ROLLBACK", &ignored);
      return false;
    }
  }
  return db_.Exec("COMMIT", error);
}

Json::Value StandInStore::RowToRecord(const StandInStatement& row) {
  const RecordShape& shape = TheRecordShape();
  Json::Value record = shape.members;  // the member tree, names not duplicated
  bool hasNull = false;
  auto column = shape.columns.begin();
  for (auto member = record.begin(); member != record.end(); ++member, ++column) {
    if (*column == 0) {
      *member = std::to_string(row.ColumnInt(0));
    } else if (row.ColumnIsNull(*column)) {
      hasNull = true;
    } else if (kRecordFields[*column - 1].isInt) {
      *member = static_cast<Json::Int>(row.ColumnInt(*column));
    } else {
      *member = TextValue(row.ColumnView(*column));
    }
  }
  // A NULL column has no member (rows written by this store have none).
  for (int i = 0; hasNull && i < kFieldCount; ++i) {
    if (row.ColumnIsNull(i + 1)) record.removeMember(kRecordFields[i].name);
  }
  return record;
}

bool StandInStore::RecordsForKeys(StandInStatement& lookup, const std::vector<std::string>& keys,
                                  const RowSink& sink, std::string* error) {
  std::set<int64_t> seen;  // each record once, at its first key
  for (const std::string& key : keys) {
    if (key.empty()) continue;
    lookup.Reset();
    lookup.BindText(1, key);
    int step = 0;
    while ((step = lookup.Step()) == 1) {
      if (seen.insert(lookup.ColumnInt(0)).second) sink(lookup);
    }
    if (step < 0) {
      *error = "cannot read the records: " + db_.LastError();
      return false;
    }
  }
  return true;
}

std::string StandInStore::QueryRecordRows(const Json::Value& request, const RowSink& sink) {
  int keytype = 0;
  int operationtype = 0;
  Json::Value value;
  if (!MatchValue(request, &keytype, &operationtype, &value)) return "_multimatchinfo is missing";
  std::vector<std::string> keys;
  StandInStatement* lookup = nullptr;
  if (keytype == 3 && value.isString()) {
    keys = SplitIds(value.asString());
    lookup = &byMessageId_;
  } else if (keytype == 9 && operationtype == 67 && value.isArray()) {
    for (const Json::Value& name : value) {
      if (name.isString()) keys.push_back(name.asString());
    }
    lookup = &byFileName_;
  } else {
    return "keytype " + std::to_string(keytype) + " with operationtype " +
           std::to_string(operationtype) + " is not supported";
  }
  std::string error;
  // One read transaction for all the lookups: one lock instead of one per key.
  if (!db_.Exec("BEGIN", &error)) return error;
  const bool ok = RecordsForKeys(*lookup, keys, sink, &error);
  std::string ignored;
  db_.Exec(ok ? "COMMIT" : "ROLLBACK", &ignored);
  return ok ? std::string() : error;
}

Json::Value StandInStore::AddRecord(const Json::Value& request) {
  const Json::Value& record = request["param"]["_historyrecord"];
  if (!record.isObject()) return Failure(request, "_historyrecord is missing");
  std::string error;
  int64_t id = 0;
  if (!db_.Exec("BEGIN", &error)) return Failure(request, error);
  if (!InsertRecord(record, &id, &error)) {
    std::string ignored;
    db_.Exec("ROLLBACK", &ignored);
    return Failure(request, error);
  }
  if (!db_.Exec("COMMIT", &error)) return Failure(request, error);
  Json::Value answer = MakeAnswer(request, 0);
  answer["param"]["recordId"] = std::to_string(id);
  return answer;
}

Json::Value StandInStore::QueryRecords(const Json::Value& request) {
  Json::Value list(Json::arrayValue);
  const std::string error = QueryRecordRows(
      request, [&list](const StandInStatement& row) { list.append(RowToRecord(row)); });
  if (!error.empty()) return Failure(request, error);
  Json::Value answer = MakeAnswer(request, 0);
  answer["param"]["_historyrecordlist"].swap(list);
  return answer;
}

Json::Value StandInStore::AddGroup(const Json::Value& request) {
  const Json::Value& group = request["param"]["_groupinfo"];
  const std::string id = TextMember(group, "groupid");
  if (id.empty()) return Failure(request, "_groupinfo.groupid is missing");
  std::string error;
  StandInStatement insert =
      db_.Prepare("INSERT OR REPLACE INTO groups(groupid, name, data) VALUES(?1, ?2, ?3)", &error);
  if (!insert.Valid()) return Failure(request, error);
  insert.BindText(1, id);
  insert.BindText(2, TextMember(group, "name"));
  insert.BindText(3, WriteCompact(group));
  if (insert.Step() != 0) return Failure(request, "cannot store the group: " + db_.LastError());
  return MakeAnswer(request, 0);
}

Json::Value StandInStore::QueryGroup(const Json::Value& request) {
  int keytype = 0;
  int operationtype = 0;
  Json::Value value;
  if (!MatchValue(request, &keytype, &operationtype, &value) || keytype != 1 || !value.isString()) {
    return Failure(request, "a group id (keytype 1) is missing");
  }
  std::string error;
  StandInStatement select = db_.Prepare("SELECT data FROM groups WHERE groupid = ?1", &error);
  if (!select.Valid()) return Failure(request, error);
  select.BindText(1, value.asString());
  Json::Value list(Json::arrayValue);
  std::string reason;
  if (select.Step() == 1) {
    const std::string data = select.ColumnText(0);
    Json::Value group;
    if (ParseRequest(data.data(), static_cast<uint32_t>(data.size()), &group, &reason)) {
      list.append(group);
    }
  }
  Json::Value answer = MakeAnswer(request, 0);
  answer["param"]["_groupinfolist"] = list;
  return answer;
}

Json::Value StandInStore::AddContact(const Json::Value& request) {
  const Json::Value& contact = request["param"]["UserInfo"];
  const std::string id = TextMember(contact, "accountid");
  if (id.empty()) return Failure(request, "UserInfo.accountid is missing");
  std::string error;
  StandInStatement insert = db_.Prepare(
      "INSERT OR REPLACE INTO contacts(accountid, name, data) VALUES(?1, ?2, ?3)", &error);
  if (!insert.Valid()) return Failure(request, error);
  insert.BindText(1, id);
  insert.BindText(2, TextMember(contact, "name"));
  insert.BindText(3, WriteCompact(contact));
  if (insert.Step() != 0) return Failure(request, "cannot store the contact: " + db_.LastError());
  return MakeAnswer(request, 0);
}

Json::Value StandInStore::QueryContact(const Json::Value& request) {
  const std::string id = TextMember(request["param"]["_matchinfo"], "accountid");
  if (id.empty()) return Failure(request, "_matchinfo.accountid is missing");
  std::string error;
  StandInStatement select = db_.Prepare("SELECT data FROM contacts WHERE accountid = ?1", &error);
  if (!select.Valid()) return Failure(request, error);
  select.BindText(1, id);
  if (select.Step() != 1) return Failure(request, "no contact with accountid " + id);
  const std::string data = select.ColumnText(0);
  Json::Value contact;
  std::string reason;
  if (!ParseRequest(data.data(), static_cast<uint32_t>(data.size()), &contact, &reason)) {
    return Failure(request, "stored contact is damaged");
  }
  Json::Value answer = MakeAnswer(request, 0);
  answer["param"]["UserInfo"] = contact;
  return answer;
}

}  // namespace standin
