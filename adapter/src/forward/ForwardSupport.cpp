#include "adapter/src/forward/ForwardSupport.h"

#include <atomic>
#include <map>
#include <vector>

#include "adapter/src/bridge/ChatSender.h"
#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/content/ImAdapterMediaToken.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "adapter/src/forward/TransmitItemBuilder.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Mutex.h"
#include "util/Utils.h"

namespace {

// Requests in progress by host serial number; guarded by cmd.ForwardMutex()
// (cmd only names that lock). Never destroyed: a command may still run while
// the process ends.
std::map<int32_t, ForwardSupport::RequestEntry>& RequestTableLocked(
    [[maybe_unused]] ImAdapterCmd& cmd) REQUIRES(cmd.ForwardMutex()) {
  static auto* const table = new std::map<int32_t, ForwardSupport::RequestEntry>();
  return *table;
}

std::atomic<int> g_clientMsgIdCounter{100};

}  // namespace

ForwardSupport::RequestInProgress::RequestInProgress(ImAdapterCmd& cmd, const Json::Value& request)
    : cmd_(cmd), sno_(RequestSno(request)) {
  RequestEntry entry;
  const Json::Value* code = FindMember(request, "cmd");
  if (code && IsInt32(*code)) entry.cmd = code->asInt();
  entry.description = TextMember(request, "description");
  util::MutexLock lock(cmd_.ForwardMutex());
  RequestTableLocked(cmd_)[sno_] = entry;
}

ForwardSupport::RequestInProgress::~RequestInProgress() {
  util::MutexLock lock(cmd_.ForwardMutex());
  RequestTableLocked(cmd_).erase(sno_);
}

size_t ForwardSupport::RequestsInProgress(ImAdapterCmd& cmd) {
  util::MutexLock lock(cmd.ForwardMutex());
  return RequestTableLocked(cmd).size();
}

int32_t ForwardSupport::RequestSno(const Json::Value& request) {
  const Json::Value* sno = FindMember(request, "sno");
  if (sno && IsInt32(*sno)) return sno->asInt();
  if (sno && IsUInt32(*sno)) return static_cast<int32_t>(sno->asUInt());
  return 0;
}

ForwardOptions ForwardSupport::ReadForwardOptions(const Json::Value& param) {
  ForwardOptions options;
  options.groupId = TextMember(param, "groupId");
  if (!options.groupId.empty()) {
    options.chatKind = ForwardChatKind::kGroup;
  } else {
    options.receiverAccount = TextMember(param, "receiverAccount");
    options.chatKind = ForwardChatKind::kUser;
  }
  const Json::Value* english = FindMember(param, "isEnglish");
  if (english && IsInt32(*english)) options.isEnglish = english->asInt();
  options.defaultImagePath = TextMember(param, "defaultImagePath");
  options.customizeImagePath = TextMember(param, "customizeImagePath");
  options.defaultFilePath = TextMember(param, "defaultFilePath");
  options.customizeFilePath = TextMember(param, "customizeFilePath");
  const Json::Value* share = FindMember(param, "publicShareLink");
  if (share && IsInt32(*share)) options.publicShareLink = share->asInt() != 0;
  const Json::Value* cross = FindMember(param, "isCrossInstance");
  if (cross && cross->isBool()) options.isCrossInstance = cross->asBool();
  const Json::Value* local = FindMember(param, "isOnlySaveLocal");
  if (local && IsInt32(*local)) options.isOnlySaveLocal = local->asInt();
  options.userAccount = TextMember(param, "userAccount");
  return options;
}

std::vector<std::string> ForwardSupport::StringElements(const Json::Value& array) {
  std::vector<std::string> out;
  if (!array.isArray()) return out;
  out.reserve(array.size());
  for (const Json::Value& element : array) {
    if (element.isString()) out.push_back(element.asString());
  }
  return out;
}

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
