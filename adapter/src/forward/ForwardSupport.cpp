#include "adapter/src/forward/ForwardSupport.h"

#include <atomic>
#include <vector>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/ChatSender.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/content/ImAdapterMediaToken.h"
#include "adapter/src/forward/TransmitItemBuilder.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Utils.h"

namespace {

std::atomic<int> g_clientMsgIdCounter{100};

}  // namespace

std::string ForwardSupport::newClientMsgId() {
  int current = g_clientMsgIdCounter.load();
  int next = 0;
  do {
    next = current < 999 ? current + 1 : 100;
  } while (!g_clientMsgIdCounter.compare_exchange_weak(current, next));
  return currentTimeMillis() + std::to_string(next);
}

std::string ForwardSupport::currentTimeMillis() {
  return std::to_string(platform::NowUnixMillis());
}

std::string ForwardSupport::RebuildContent(const RecordInfo& item, const std::string& content,
                                           const std::string& html) {
  const std::vector<FileListItem>& entries = item.fileList;
  if (entries.empty()) return content;
  switch (item.mediatype) {
    case 2:
      if (entries.size() < 2) return content;
      return xml::Build(xml::XmlEscapeText(BuildPictureToken(entries)), "", 0, false);
    case 3:
    case 4:
      return xml::Build(xml::XmlEscapeText(BuildMediaToken(entries.front())), "", 0, false);
    case 8: {
      const std::string text =
          TransmitItemBuilder::buildImageTextForwardContent(content, entries.front());
      return xml::Build(xml::UnescapeFiveEntities(text), html, 0, false);
    }
    default:
      return content;
  }
}

ForwardSupport::Reupload ForwardSupport::ReuploadExpiredMedia(
    int32_t jsSno, RecordInfo& item, std::string& content, const std::string& html,
    const ForwardOptions& options, const ForwardMediaFiles& media, const char* function) {
  if (item.fileList.empty()) return Reupload::kRefused;
  FileListItem& first = item.fileList.front();
  const bool reuploadable = ForwardMediaFiles::canReuploadMedia(item.status, item.mediatype);
  IMLOG(kLogInf, function, std::string("isStatusOK: ") + (reuploadable ? "1" : "0"));
  if (!reuploadable || !media.isExistPath(first.file_name, first.file_path, item.mediatype)) {
    IMLOG(kLogErr, function, "status can't forward or file_path does't exist");
    return Reupload::kRefused;
  }
  for (const FileListItem& entry : item.fileList) {
    if (!ForwardMediaFiles::IsUsableStoredFile(entry.file_path)) {
      IMLOG(kLogErr, function,
            "file is not a usable local file, not uploaded: " + util::MaskForLog(entry.file_path));
      return Reupload::kRefused;
    }
  }
  IMLOG(kLogInf, function,
        "file_path = " + util::MaskForLog(first.file_path) +
            ", file_real_save_path = " + util::MaskForLog(first.file_real_save_path));
  std::vector<FileListItem> uploaded;
  OfflineFileOps::Instance().UploadFile(jsSno, item.fileList, &uploaded, options.publicShareLink,
                                        options.isCrossInstance);
  if (uploaded.empty()) {
    IMLOG(kLogErr, function, "UploadFile failed, fileList is empty");
    return Reupload::kNothingBack;
  }
  item.fileList = uploaded;
  content = RebuildContent(item, content, html);
  item.filelist = FileListText(item.fileList);
  item.content = content;
  return Reupload::kUploaded;
}

ChatSendInfo ForwardSupport::BuildChatItem(const RecordInfo& record, ForwardChatKind kind) {
  ChatSendInfo chat;
  chat.msgId = record.clientmessageid;
  chat.userAccount = record.originaccount;
  chat.chatType = record.chattype;
  if (kind == ForwardChatKind::kGroup) {
    chat.groupId = record.groupid;
    chat.groupName = record.groupname;
  } else {
    chat.receiverAccount = record.targetaccount;
  }
  chat.chatContentType = record.mediatype;
  chat.content = record.content;
  chat.appId = "1";
  chat.serverSendTime = record.utcstamp;
  chat.clientSendTime = record.timestamp;
  chat.senderName = record.peername;
  chat.senderNativeName = record.peernativename;
  chat.isAutoReply = 0;
  chat.isAt = 0;
  chat.isAppMsg = 0;
  chat.isPrivateChat = 0;
  return chat;
}

Json::Value ForwardSupport::RecordJson(const RecordInfo& record) {
  Json::Value json(Json::objectValue);
  ConvertRecordInfoToJson(record, json);
  return json;
}

Json::Value ForwardSupport::SendRecord(int32_t jsSno, const RecordInfo& record,
                                       Json::Value recordJson, ForwardChatKind kind) {
  const ChatSendInfo chat = BuildChatItem(record, kind);
  Json::Value ack;
  if (kind == ForwardChatKind::kGroup) {
    ChatSender::ImGroupChat(jsSno, chat, &ack);
  } else {
    ChatSender::ImUserChat(jsSno, chat, &ack);
  }
  if (!ack.isObject()) ack = Json::Value(Json::objectValue);
  ack["message"].swap(recordJson);
  return ack;
}
