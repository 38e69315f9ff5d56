#include "adapter/src/forward/ForwardCommands.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/OperationTrace.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "adapter/src/forward/ForwardMediaFiles.h"
#include "adapter/src/forward/ForwardRequest.h"
#include "adapter/src/forward/ForwardRequestTable.h"
#include "adapter/src/forward/ForwardSupport.h"
#include "adapter/src/forward/MergedCardBuilder.h"
#include "adapter/src/forward/TransmitItemBuilder.h"
#include "log/AdapterLog.h"
#include "util/Utils.h"

namespace {

const char kOneByOne[] = "ImAdapterCmd::MsgForwardOneByOne";
const char kCombine[] = "ImAdapterCmd::MsgCombineAndForward";

// Messages read from the store per query.
constexpr size_t kForwardBatchSize = 50;

void ReplyError(HostChannel& channel, const ForwardRequest& request, Json::Value param,
                const char* function, const char* fallback, const char* reason) {
  IMLOG(kLogErr, function, reason);
  param["reason"] = reason;
  channel.SendRspToHost(-1, param, request.envelope, fallback);
}

void LogOptions(const char* function, const ForwardOptions& options) {
  IMLOG(kLogInf, function,
        "isEnglish = " + std::to_string(options.isEnglish) +
            ", defaultImagePath = " + util::MaskForLog(options.defaultImagePath) +
            ", customizeImagePath = " + util::MaskForLog(options.customizeImagePath) +
            ", defaultFilePath = " + util::MaskForLog(options.defaultFilePath) +
            ", customizeFilePath = " + util::MaskForLog(options.customizeFilePath) +
            ", isOnlySaveLocal = " + std::to_string(options.isOnlySaveLocal));
}

// Reads the records of ids in batches of kForwardBatchSize.
std::vector<RecordInfo> QueryInBatches(HostChannel& channel, const std::vector<std::string>& ids) {
  std::vector<RecordInfo> messagesList;
  for (size_t start = 0; start < ids.size(); start += kForwardBatchSize) {
    const size_t end = std::min(ids.size(), start + kForwardBatchSize);
    const std::vector<std::string> batch(ids.begin() + start, ids.begin() + end);
    std::vector<RecordInfo> messagesListTemp;
    StoreQueries::QueryHistoryRecordByMsgId(channel.NextSno(), batch, &messagesListTemp);
    IMLOG(kLogInf, kOneByOne,
          "QueryHistoryRecordByMsgId: messagesListTemp.size() = " +
              std::to_string(messagesListTemp.size()));
    for (RecordInfo& record : messagesListTemp) messagesList.push_back(std::move(record));
  }
  return messagesList;
}

// Points the item at the target conversation under a new message id.
void Readdress(RecordInfo& item, const ForwardOptions& options) {
  item.clientmessageid = ForwardSupport::newClientMsgId();
  item.receiptCount = 0;
  item.utcstamp = ForwardSupport::currentTimeMillis();
  if (options.chatKind == ForwardChatKind::kGroup) {
    item.convid = options.groupId;
    item.groupid = options.groupId;
    item.targetaccount.clear();
    item.chattype = 1;
  } else {
    item.convid = options.receiverAccount;
    item.groupid.clear();
    item.targetaccount = options.receiverAccount;
    item.chattype = 0;
  }
}

// New picture files, and either a fresh upload of expired media or a link
// update of valid media. False when the record is to be skipped.
bool PrepareMedia(int32_t jsSno, RecordInfo& item, std::string& content, std::string& html,
                  const ForwardOptions& options, const ForwardMediaFiles& media) {
  for (FileListItem& entry : item.fileList) {
    entry.message_server_chat_id_str = item.clientmessageid;
    entry.convid = item.convid;
  }
  const bool expired = media.mediaExpire(jsSno, item, false);
  media.creatNewPicFile(item, content, html, true);
  if (expired) {
    IMLOG(kLogInf, kOneByOne, "media is expire... upload file start");
    return ForwardSupport::ReuploadExpiredMedia(jsSno, item, content, html, options, media,
                                                kOneByOne) == ForwardSupport::Reupload::kUploaded;
  }
  for (const FileListItem& entry : item.fileList) {
    OfflineFileOps::Instance().ForwardFileLinkUpdate(jsSno, entry);
  }
  return true;
}

// Sets the quote's "status" to 0 when the quote is JSON.
void ResetQuoteStatus(RecordInfo& item) {
  Json::Value quote;
  if (ParseJsonText(item.quote, quote) != 0) {
    IMLOG(kLogInf, kOneByOne, "json parse failed, newMsg.quote is" + item.quote);
    return;
  }
  if (quote.isObject()) {
    quote["status"] = 0;
    item.quote = StyledJsonText(quote);
  }
}

// The forwarding user's contact, looked up once per run: every record of a
// run asks for the same account, so the store gives the same answer, and
// asking once spares half the store round trips of a run.
struct Forwarder {
  UserInfo user;
  bool known = false;
};

// Builds, readdresses, prepares and stores one new record. False when the
// record is skipped.
bool ForwardOneRecord(int32_t jsSno, RecordInfo&& source, const ForwardOptions& options,
                      const ForwardMediaFiles& media, Forwarder* forwarder, RecordInfo* out) {
  RecordInfo item = std::move(source);
  std::string content;
  std::string html;
  if (!TransmitItemBuilder::buildTransmitMsgItem(item, content, html, options, jsSno,
                                                 &forwarder->user, &forwarder->known)) {
    IMLOG(kLogErr, kOneByOne, "buildTransmitMsgItem failed");
    return false;
  }
  IMLOG(kLogDbg, kOneByOne, "content = " + item.content);
  Readdress(item, options);
  if (!item.fileList.empty() && !PrepareMedia(jsSno, item, content, html, options, media)) {
    return false;
  }
  item.servermessageid = item.clientmessageid;
  item.recordid.clear();
  ResetQuoteStatus(item);
  StoreQueries::AddHistoryRecord(jsSno, item, &item.recordid);
  *out = std::move(item);
  return true;
}

}  // namespace

void RunMsgForwardOneByOne(HostChannel& channel, const Json::Value& json) {
  OperationTrace trace(kOneByOne);
  IMLOG(kLogInf, kOneByOne, "MsgForwardOneByOne begin");
  const ForwardRequest request = ForwardRequest::Read(json);
  const ForwardRequestTable::Registration inProgress(request);
  if (!request.hasParam) {
    ReplyError(channel, request, Json::Value(Json::objectValue), kOneByOne, "MsgForwardOneByOne",
               "param is empty");
    return;
  }
  if (const char* reason = request.MissingMember("msgId is empty")) {
    ReplyError(channel, request, Json::Value(Json::objectValue), kOneByOne, "MsgForwardOneByOne",
               reason);
    return;
  }
  const size_t batches = (request.msgIds.size() + kForwardBatchSize - 1) / kForwardBatchSize;
  IMLOG(kLogInf, kOneByOne,
        "msgIdList size = " + std::to_string(request.msgIdListSize) +
            ", batch count = " + std::to_string(batches));
  const ForwardOptions& options = request.options;
  LogOptions(kOneByOne, options);
  const int32_t jsSno = request.jsSno;

  std::vector<RecordInfo> messagesList = QueryInBatches(channel, request.msgIds);
  IMLOG(kLogInf, kOneByOne,
        "QueryHistoryRecordByMsgId: messagesList.size() = " + std::to_string(messagesList.size()));
  if (messagesList.empty()) {
    ReplyError(channel, request, Json::Value(Json::objectValue), kOneByOne, "MsgForwardOneByOne",
               "QueryHistoryRecordByMsgId is empty");
    return;
  }

  const ForwardMediaFiles media(options);
  Forwarder forwarder;
  std::vector<RecordInfo> newRecords;
  Json::Value replyParam;  // stays null when no record gets through
  for (RecordInfo& source : messagesList) {
    RecordInfo item;
    if (!ForwardOneRecord(jsSno, std::move(source), options, media, &forwarder, &item)) continue;
    replyParam["newMsgList"].append(ForwardSupport::RecordJson(item));
    newRecords.push_back(std::move(item));
  }
  channel.SendRspToHostLending(0, &replyParam, request.envelope,
                               "MsgForwardOneByOne AddHistoryRecord succeess");
  if (options.isOnlySaveLocal == 1) {
    IMLOG(kLogInf, kOneByOne, "MsgForwardOneByOne isOnlySaveLocal");
    return;
  }
  // The reply is out: each record's JSON now moves on into its notification.
  for (Json::ArrayIndex i = 0; i < newRecords.size(); ++i) {
    Json::Value recordJson;
    recordJson.swap(replyParam["newMsgList"][i]);
    channel.SendAppendMsgNotify(
        ForwardSupport::SendRecord(jsSno, newRecords[i], std::move(recordJson), options.chatKind));
  }
  IMLOG(kLogInf, kOneByOne, "MsgForwardOneByOne end");
}

void RunMsgCombineAndForward(HostChannel& channel, const Json::Value& json) {
  OperationTrace trace(kCombine);
  IMLOG(kLogInf, kCombine, "MsgCombineAndForward begin");
  const ForwardRequest request = ForwardRequest::Read(json);
  const ForwardRequestTable::Registration inProgress(request);
  Json::Value replyParam(Json::objectValue);
  if (!request.hasParam) {
    ReplyError(channel, request, replyParam, kCombine, "MsgCombineAndForward", "param is empty");
    return;
  }
  if (request.hasWindowId) replyParam["imWindowId"] = request.windowId;
  if (const char* reason = request.MissingMember("msgIdList is empty")) {
    ReplyError(channel, request, replyParam, kCombine, "MsgCombineAndForward", reason);
    return;
  }
  std::vector<RecordInfo> records;
  if (!request.msgIds.empty()) {
    StoreQueries::QueryHistoryRecordByMsgId(channel.NextSno(), request.msgIds, &records);
  }
  if (records.empty()) {
    ReplyError(channel, request, replyParam, kCombine, "MsgCombineAndForward",
               "QueryHistoryRecordByMsgId is empty");
    return;
  }
  for (const RecordInfo& record : records) {
    if (record.convid != records.front().convid) {
      ReplyError(channel, request, replyParam, kCombine, "MsgCombineAndForward",
                 "msg from different sessions");
      return;
    }
  }
  const ForwardOptions& options = request.options;
  LogOptions(kCombine, options);
  const int32_t jsSno = request.jsSno;

  RecordInfo merged;
  MergedCardBuilder builder(options, jsSno);
  builder.updatePreviewMsg(records, merged);
  StoreQueries::AddHistoryRecord(jsSno, merged, &merged.recordid);
  replyParam["newMsg"] = ForwardSupport::RecordJson(merged);
  IMLOG(kLogDbg, kCombine,
        "MsgCombineAndForward newMsgJson" + StyledJsonText(replyParam["newMsg"]));
  channel.SendRspToHostLending(0, &replyParam, request.envelope,
                               "MsgCombineAndForward AddHistoryRecord succeess");
  if (options.isOnlySaveLocal == 1) {
    IMLOG(kLogInf, kCombine, "MsgCombineAndForward isOnlySaveLocal");
    return;
  }
  // The reply is out: the record's JSON moves on into the notification.
  Json::Value ack =
      ForwardSupport::SendRecord(jsSno, merged, std::move(replyParam["newMsg"]), options.chatKind);
  if (request.hasWindowId) ack["imWindowId"] = request.windowId;
  channel.SendAppendMsgNotify(std::move(ack));
  IMLOG(kLogInf, kCombine, "MsgCombineAndForward end");
}
