// The stand-in message store: history records, groups and contacts in a
// SQLite database (WAL mode), answering the store requests of the adapter and
// of a host.
#pragma once

#include <json/json.h>

#include <functional>
#include <string>
#include <vector>

#include "plugins/common/StandInDb.h"

namespace standin {

// Request codes the store understands.
enum StoreCmd : int {
  kCmdAddGroup = 30,    // {"_groupinfo": {"groupid", ...}}; the host's seeding request
  kCmdQueryGroup = 31,  // {"_multimatchinfo": {"datalist": [{"keytype": 1, "match_value"}]}}
  kCmdAddRecord = 54,   // {"_historyrecord": {...}} → {"recordId": "<new id>"}
  kCmdQueryRecords =
      57,  // keytype 3: message ids "a,b"; keytype 9 with operationtype 67: file names
  kCmdAddContact = 153,   // {"UserInfo": {"accountid", ...}}; the host's seeding request
  kCmdQueryContact = 155  // {"_matchinfo": {"accountid"}} → {"UserInfo": {...}}
};

// Not thread-safe: the plugin calls it from its one worker thread. Each call
// opens the database named by IM_STORE_DB (default "im_store.db" in the
// working directory) when it is not open yet or the setting changed.
class StandInStore {
 public:
  // The answer to request: the envelope of MakeAnswer with the result and its
  // "param"; a failure ("result" 1) carries a "reason". Never throws.
  Json::Value Handle(const Json::Value& request);

  // Opens the database at path (for benchmarks and tests that fill it directly).
  bool OpenAt(const std::string& path, std::string* error);

  // Adds many records in one transaction to the open database (see OpenAt);
  // false with the reason.
  bool AddRecords(const std::vector<Json::Value>& records, std::string* error);

 private:
  bool EnsureOpen(std::string* error);
  bool CreateSchema(std::string* error);
  bool InsertRecord(const Json::Value& record, int64_t* recordId, std::string* error);
  bool IndexFiles(int64_t recordId, const std::string& fileList, std::string* error);
  static Json::Value RowToRecord(const StandInStatement& row);
  // Appends the records that lookup finds for each key, in key order, each once.
  using RowSink = std::function<void(const StandInStatement& row)>;
  bool RecordsForKeys(StandInStatement& lookup, const std::vector<std::string>& keys,
                      const RowSink& sink, std::string* error);
  // Passes each record row that the query of request finds to sink; "" on
  // success, else the reason.
  std::string QueryRecordRows(const Json::Value& request, const RowSink& sink);

  Json::Value AddRecord(const Json::Value& request);
  Json::Value QueryRecords(const Json::Value& request);
  Json::Value AddGroup(const Json::Value& request);
  Json::Value QueryGroup(const Json::Value& request);
  Json::Value AddContact(const Json::Value& request);
  Json::Value QueryContact(const Json::Value& request);

  StandInDb db_;
  StandInStatement insertRecord_;
  StandInStatement insertFile_;
  StandInStatement byMessageId_;
  StandInStatement byFileName_;
};

}  // namespace standin
