#include "adapter/src/bridge/StoreQueries.h"

#include <iterator>
#include <string>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/OperationTrace.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "log/AdapterLog.h"
#include "util/Utils.h"

namespace {

const RequestKind kAddHistoryRecord = {
    "ImAdapterCmd::AddHistoryRecord", "ImAdapterCmd::AddHistoryRecordSend",
    "ImAdapterCmd::AddHistoryRecordRsp", kTargetStore, RequestPair::kMain, RequestWait::kStore};
const RequestKind kQueryByMsgId = {"ImAdapterCmd::QueryHistoryRecordByMsgId",
                                   "ImAdapterCmd::QueryHistoryRecordByMsgIdSend",
                                   "ImAdapterCmd::QueryHistoryRecordByMsgIdRsp",
                                   kTargetStore,
                                   RequestPair::kMain,
                                   RequestWait::kStore};
const RequestKind kQueryByReceiveFile = {"ImAdapterCmd::QueryHistoryRecordByReceiveFileMsg",
                                         "ImAdapterCmd::QueryHistoryRecordByReceiveFileMsgSend",
                                         "ImAdapterCmd::QueryHistoryRecordByReceiveFileMsgRsp",
                                         kTargetStore,
                                         RequestPair::kReceivedFile,
                                         RequestWait::kLong};
const RequestKind kQueryGroup = {"ImAdapterCmd::QueryGroupInfoByGroupId",
                                 "ImAdapterCmd::QueryGroupInfoByGroupIdSend",
                                 "ImAdapterCmd::QueryGroupInfoByGroupIdRsp",
                                 kTargetStore,
                                 RequestPair::kMain,
                                 RequestWait::kStore};
const RequestKind kQueryUser = {"ImAdapterCmd::QueryUserInfoByAccountId",
                                "ImAdapterCmd::QueryUserInfoByAccountIdSend",
                                "ImAdapterCmd::QueryUserInfoByAccountIdRsp",
                                kTargetStore,
                                RequestPair::kMain,
                                RequestWait::kStore};

// answer["param"][key] when "param" is an object holding key, else nullptr.
const Json::Value* ParamMember(const Json::Value& answer, const char* key) {
  const Json::Value* param = FindMember(answer, "param");
  return param == nullptr ? nullptr : FindMember(*param, key);
}

// One store request: {"cmd", "description", "param"}.
Json::Value StoreRequest(int cmd, const char* description, Json::Value param) {
  Json::Value request(Json::objectValue);
  request["cmd"] = cmd;
  request["description"] = description;
  request["param"].swap(param);
  return request;
}

// {"_multimatchinfo": {"datalist": [{"keytype", "match_value"}], "datalen": 1, "operationtype"}}
Json::Value MultiMatch(int keyType, const Json::Value& matchValue, int operationType) {
  Json::Value entry(Json::objectValue);
  entry["keytype"] = keyType;
  entry["match_value"] = matchValue;
  Json::Value info(Json::objectValue);
  info["datalist"].append(entry);
  info["datalen"] = 1;
  info["operationtype"] = operationType;
  Json::Value param(Json::objectValue);
  param["_multimatchinfo"] = info;
  return param;
}

// Decodes the Base64 JSON array of a record's `filelist` into its fileList:
// one parse of the decoded text, by the same stocked reader as the answer.
void DecodeFileList(const char* function, RecordInfo* record) {
  if (record->filelist.empty()) return;
  std::string json;
  Json::Value array;
  if (!util::Base64Decode(record->filelist, &json) || ParseJsonText(json, array) != 0) {
    IMLOG(kLogWar, function, "filelist undecodable, recordid: " + record->recordid);
    return;
  }
  ConvertJsonToFileList(array, record->fileList);
}

std::vector<RecordInfo> ParseHistoryList(const char* function, const Json::Value& answer) {
  std::vector<RecordInfo> records;
  const Json::Value* list = ParamMember(answer, "_historyrecordlist");
  if (list == nullptr || !list->isArray()) {
    IMLOG(kLogErr, function, "param invalid");
    return records;
  }
  // Each record is filled where it stays: a RecordInfo is large, and moving
  // it in, or moving the list as it grows, costs as much as filling it.
  records.reserve(list->size());
  for (const Json::Value& item : *list) {
    RecordInfo& record = records.emplace_back();
    ConvertJsonToRecordInfo(item, record);
    DecodeFileList(function, &record);
  }
  return records;
}

// The blocking request frame shared by the five queries.
template <typename SendFn>
RequestResult Request(const RequestKind& kind, int32_t jsSno,
                      void (*handler)(int32_t, Json::Value&), SendFn send) {
  IMLOG(kLogDbg, kind.operation, "jsSno: " + std::to_string(jsSno));
  return PluginRequester::Instance().Call(kind, SnoCallback{jsSno, handler}, send);
}

}  // namespace

std::string StoreQueries::JoinMsgIds(const std::vector<std::string>& msgIds) {
  std::string joined;
  for (const std::string& id : msgIds) joined += id + ",";
  if (!joined.empty()) joined.pop_back();
  return joined;
}

// ---- AddHistoryRecord ------------------------------------------------------

void StoreQueries::AddHistoryRecord(int32_t jsSno, const RecordInfo& record,
                                    std::string* recordId) {
  OperationTrace trace(kAddHistoryRecord.operation);
  RequestResult result =
      Request(kAddHistoryRecord, jsSno, &AddHistoryRecordRsp,
              [&record](const SnoCallback& cb) { return AddHistoryRecordSend(record, cb); });
  if (!result.answered) return;
  const Json::Value* id = ParamMember(result.answer, "recordId");
  if (id != nullptr && id->isString()) *recordId = id->asString();
}

int32_t StoreQueries::AddHistoryRecordSend(const RecordInfo& record,
                                           const SnoCallback& callback) {
  Json::Value param(Json::objectValue);
  ConvertRecordInfoToJson(record, param["_historyrecord"]);
  return PluginRequester::Instance().Send(
      kAddHistoryRecord, StoreRequest(54, "zeb_sqlite_add_historyrecord", std::move(param)),
      callback);
}

void StoreQueries::AddHistoryRecordRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kAddHistoryRecord.handler);
  PluginRequester::Instance().Deliver(kAddHistoryRecord, jsSno, answer);
}

// ---- QueryHistoryRecordByMsgId ---------------------------------------------

void StoreQueries::QueryHistoryRecordByMsgId(int32_t jsSno,
                                             const std::vector<std::string>& msgIds,
                                             std::vector<RecordInfo>* records) {
  OperationTrace trace(kQueryByMsgId.operation);
  RequestResult result =
      Request(kQueryByMsgId, jsSno, &QueryHistoryRecordByMsgIdRsp, [&msgIds](const SnoCallback& cb) {
        return QueryHistoryRecordByMsgIdSend(msgIds, cb);
      });
  if (!result.answered) return;
  *records = QueryHistoryRecordByMsgIdRspParse(result.answer);
}

int32_t StoreQueries::QueryHistoryRecordByMsgIdSend(const std::vector<std::string>& msgIds,
                                                    const SnoCallback& callback) {
  return PluginRequester::Instance().Send(
      kQueryByMsgId,
      StoreRequest(57, "zeb_sqlite_query_historyrecord", MultiMatch(3, JoinMsgIds(msgIds), 3)),
      callback);
}

void StoreQueries::QueryHistoryRecordByMsgIdRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kQueryByMsgId.handler);
  PluginRequester::Instance().Deliver(kQueryByMsgId, jsSno, answer);
}

std::vector<RecordInfo> StoreQueries::QueryHistoryRecordByMsgIdRspParse(
    const Json::Value& answer) {
  return ParseHistoryList("ImAdapterCmd::QueryHistoryRecordByMsgIdRspParse", answer);
}

// ---- QueryHistoryRecordByReceiveFileMsg ------------------------------------

void StoreQueries::QueryHistoryRecordByReceiveFileMsg(const std::vector<std::string>& values,
                                                      std::vector<RecordInfo>* records) {
  OperationTrace trace(kQueryByReceiveFile.operation);
  const int32_t jsSno = HostChannel::Instance().NextSno();
  RequestResult result = Request(kQueryByReceiveFile, jsSno, &QueryHistoryRecordByReceiveFileMsgRsp,
                                 [&values](const SnoCallback& cb) {
                                   return QueryHistoryRecordByReceiveFileMsgSend(values, cb);
                                 });
  if (!result.answered) return;
  std::vector<RecordInfo> found = QueryHistoryRecordByReceiveFileMsgRspParse(result.answer);
  records->insert(records->end(), std::make_move_iterator(found.begin()),
                  std::make_move_iterator(found.end()));
}

int32_t StoreQueries::QueryHistoryRecordByReceiveFileMsgSend(
    const std::vector<std::string>& values, const SnoCallback& callback) {
  Json::Value matchValue(Json::arrayValue);
  for (const std::string& value : values) matchValue.append(value);
  return PluginRequester::Instance().Send(
      kQueryByReceiveFile,
      StoreRequest(57, "zeb_sqlite_query_historyrecord", MultiMatch(9, matchValue, 67)), callback);
}

void StoreQueries::QueryHistoryRecordByReceiveFileMsgRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kQueryByReceiveFile.handler);
  PluginRequester::Instance().Deliver(kQueryByReceiveFile, jsSno, answer);
}

std::vector<RecordInfo> StoreQueries::QueryHistoryRecordByReceiveFileMsgRspParse(
    const Json::Value& answer) {
  return ParseHistoryList("ImAdapterCmd::QueryHistoryRecordByReceiveFileMsgRspParse", answer);
}

// ---- QueryGroupInfoByGroupId -----------------------------------------------

void StoreQueries::QueryGroupInfoByGroupId(int32_t jsSno, const std::string& groupId,
                                           GroupInfo* group) {
  OperationTrace trace(kQueryGroup.operation);
  RequestResult result =
      Request(kQueryGroup, jsSno, &QueryGroupInfoByGroupIdRsp, [&groupId](const SnoCallback& cb) {
        return QueryGroupInfoByGroupIdSend(groupId, cb);
      });
  if (!result.answered) return;
  std::vector<GroupInfo> groups = QueryGroupInfoByGroupIdRspParse(result.answer);
  if (groups.empty()) {
    IMLOG(kLogErr, kQueryGroup.operation, "g_groupInfoList is empty");
    return;
  }
  *group = groups.front();
}

int32_t StoreQueries::QueryGroupInfoByGroupIdSend(const std::string& groupId,
                                                  const SnoCallback& callback) {
  return PluginRequester::Instance().Send(
      kQueryGroup,
      StoreRequest(31, "zeb_sqlite_query_groupinfo", MultiMatch(1, Json::Value(groupId), 1)),
      callback);
}

void StoreQueries::QueryGroupInfoByGroupIdRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kQueryGroup.handler);
  PluginRequester::Instance().Deliver(kQueryGroup, jsSno, answer);
}

std::vector<GroupInfo> StoreQueries::QueryGroupInfoByGroupIdRspParse(const Json::Value& answer) {
  std::vector<GroupInfo> groups;
  const Json::Value* list = ParamMember(answer, "_groupinfolist");
  if (list == nullptr || !list->isArray()) {
    IMLOG(kLogErr, "ImAdapterCmd::QueryGroupInfoByGroupIdRspParse", "param invalid");
    return groups;
  }
  for (const Json::Value& item : *list) {
    GroupInfo group;
    ConvertJsonToGroupInfo(item, group);
    groups.push_back(std::move(group));
  }
  return groups;
}

// ---- QueryUserInfoByAccountId ----------------------------------------------

void StoreQueries::QueryUserInfoByAccountId(int32_t jsSno, const std::string& accountId,
                                            UserInfo* user) {
  OperationTrace trace(kQueryUser.operation);
  RequestResult result =
      Request(kQueryUser, jsSno, &QueryUserInfoByAccountIdRsp, [&accountId](const SnoCallback& cb) {
        return QueryUserInfoByAccountIdSend(accountId, cb);
      });
  if (!result.answered) return;
  std::vector<UserInfo> users = QueryUserInfoByAccountIdRspParse(result.answer);
  if (users.empty()) {
    IMLOG(kLogErr, kQueryUser.operation, "g_userInfoList is empty!");
    return;
  }
  *user = users.front();
  IMLOG(kLogDbg, kQueryUser.operation,
        "g_userInfoList[0]: " + util::MaskForLog(user->name));
}

int32_t StoreQueries::QueryUserInfoByAccountIdSend(const std::string& accountId,
                                                   const SnoCallback& callback) {
  Json::Value param(Json::objectValue);
  param["_matchinfo"]["accountid"] = accountId;
  return PluginRequester::Instance().Send(
      kQueryUser,
      StoreRequest(155, "zeb_sqlite_query_userinfo_by_account_from_contact", std::move(param)),
      callback);
}

void StoreQueries::QueryUserInfoByAccountIdRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kQueryUser.handler);
  PluginRequester::Instance().Deliver(kQueryUser, jsSno, answer);
}

std::vector<UserInfo> StoreQueries::QueryUserInfoByAccountIdRspParse(const Json::Value& answer) {
  std::vector<UserInfo> users;
  const Json::Value* item = ParamMember(answer, "UserInfo");
  if (item == nullptr) {
    IMLOG(kLogErr, "ImAdapterCmd::QueryUserInfoByAccountIdRspParse", "param invalid");
    return users;
  }
  UserInfo user;
  ConvertJsonToUserInfo(*item, user);
  users.push_back(std::move(user));
  return users;
}
