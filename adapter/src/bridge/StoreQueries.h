// The adapter's requests to the message store plugin (target 2): adding a
// history record, reading history records by message id or by received-file
// name, and reading one group's and one contact's information.
//
// Every operation blocks the calling thread (the service thread) until the
// store answers or the time-out passes (5 s; 35 s for the received-file
// query); the response handlers run on the hub's task thread. A time-out
// ("zeb req timeout") leaves the outputs untouched; callers treat an empty
// record id, an empty list or an unchanged group or contact as "not found".
// The store's "result" is logged but does not change the outcome: the
// members of a failing answer are used when present.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "adapter/src/content/RecordInfo.h"
#include "adapter/src/bridge/SnoCallback.h"

class StoreQueries {
 public:
  // Stores record; on an answer whose "param"."recordId" is a text, sets
  // *recordId to it. Otherwise *recordId stays as it was.
  static void AddHistoryRecord(int32_t jsSno, const RecordInfo& record, std::string* recordId);

  // Replaces *records by the stored records of the message ids msgIds (each
  // with its file list decoded). Unchanged on a time-out.
  static void QueryHistoryRecordByMsgId(int32_t jsSno, const std::vector<std::string>& msgIds,
                                        std::vector<RecordInfo>* records);

  // Appends to *records the stored received-file records matching values.
  // Draws its own serial number as jsSno. Unchanged on a time-out.
  static void QueryHistoryRecordByReceiveFileMsg(const std::vector<std::string>& values,
                                                 std::vector<RecordInfo>* records);

  // Sets *group to the first group of the answer; unchanged when the answer
  // holds none or on a time-out.
  static void QueryGroupInfoByGroupId(int32_t jsSno, const std::string& groupId,
                                      GroupInfo* group);

  // Sets *user to the contact of the answer; unchanged when the answer holds
  // none or on a time-out.
  static void QueryUserInfoByAccountId(int32_t jsSno, const std::string& accountId,
                                       UserInfo* user);

  // The "match_value" of the message-id query: the ids joined with ",".
  static std::string JoinMsgIds(const std::vector<std::string>& msgIds);

  // Decoders of the store's answers (also used by the tests). Each logs
  // "param invalid" under its own name and returns an empty list when the
  // answer lacks the expected members.
  static std::vector<RecordInfo> QueryHistoryRecordByMsgIdRspParse(const Json::Value& answer);
  static std::vector<RecordInfo> QueryHistoryRecordByReceiveFileMsgRspParse(
      const Json::Value& answer);
  static std::vector<GroupInfo> QueryGroupInfoByGroupIdRspParse(const Json::Value& answer);
  static std::vector<UserInfo> QueryUserInfoByAccountIdRspParse(const Json::Value& answer);

 private:
  static int32_t AddHistoryRecordSend(const RecordInfo& record, const SnoCallback& callback);
  static int32_t QueryHistoryRecordByMsgIdSend(const std::vector<std::string>& msgIds,
                                               const SnoCallback& callback);
  static int32_t QueryHistoryRecordByReceiveFileMsgSend(const std::vector<std::string>& values,
                                                        const SnoCallback& callback);
  static int32_t QueryGroupInfoByGroupIdSend(const std::string& groupId,
                                             const SnoCallback& callback);
  static int32_t QueryUserInfoByAccountIdSend(const std::string& accountId,
                                              const SnoCallback& callback);
  static void AddHistoryRecordRsp(int32_t jsSno, Json::Value& answer);
  static void QueryHistoryRecordByMsgIdRsp(int32_t jsSno, Json::Value& answer);
  static void QueryHistoryRecordByReceiveFileMsgRsp(int32_t jsSno, Json::Value& answer);
  static void QueryGroupInfoByGroupIdRsp(int32_t jsSno, Json::Value& answer);
  static void QueryUserInfoByAccountIdRsp(int32_t jsSno, Json::Value& answer);
};
