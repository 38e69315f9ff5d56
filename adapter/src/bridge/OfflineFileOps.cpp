#include "adapter/src/bridge/OfflineFileOps.h"

#include <algorithm>
#include <string>
#include <utility>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/OperationTrace.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/bridge/ImAdapterNotify.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "log/AdapterLog.h"

namespace {

const char kUploadFile[] = "ImAdapterCmd::UploadFile";
const char kUploadFileNotifyResult[] = "ImAdapterCmd::UploadFileNotifyResult";

const RequestKind kUploadKind = {"ImAdapterCmd::UploadFileProc",
                                 "ImAdapterCmd::UploadFileSend",
                                 "ImAdapterCmd::UploadFileRsp",
                                 kTargetOfflineFile,
                                 RequestPair::kMain,
                                 RequestWait::kLong};
const RequestKind kLinkUpdateKind = {"ImAdapterCmd::ForwardFileLinkUpdate",
                                     "ImAdapterCmd::ForwardFileLinkUpdateSend",
                                     "ImAdapterCmd::ForwardFileLinkUpdateRsp",
                                     kTargetOfflineFile,
                                     RequestPair::kMain,
                                     RequestWait::kLong};
const RequestKind kExpireKind = {"ImAdapterCmd::CheckMediaExpire",
                                 "ImAdapterCmd::KelmarCheckMediaExpireSend",
                                 "ImAdapterCmd::KelmarCheckMediaExpireRsp",
                                 kTargetOfflineFile,
                                 RequestPair::kMain,
                                 RequestWait::kLong};

// The handle of an upload answer, without logging (−1 when there is none).
int32_t HandleOf(const Json::Value& answer) {
  const Json::Value* param = FindMember(answer, "param");
  const Json::Value* handle = param == nullptr ? nullptr : FindMember(*param, "pfile_handle");
  if (handle == nullptr || !IsUInt32(*handle)) return -1;
  return static_cast<int32_t>(handle->asUInt());
}

// {"link_code", "access_code"} of a forwarded or stored media link.
Json::Value LinkCodeRequest(int cmd, const char* description, const FileListItem& entry) {
  Json::Value request(Json::objectValue);
  request["cmd"] = cmd;
  request["description"] = description;
  request["param"]["link_code"] = OfflineFileOps::ExtractLinkCode(entry.um_url);
  request["param"]["access_code"] = entry.um_plain_access_code;
  return request;
}

std::string JoinHandles(const std::vector<int32_t>& handles) {
  std::string text;
  for (int32_t handle : handles) text += (text.empty() ? "" : ",") + std::to_string(handle);
  return text;
}

}  // namespace

OfflineFileOps& OfflineFileOps::Instance() {
  // Never destroyed: threads may still use it while the process ends.
  static OfflineFileOps* const instance = new OfflineFileOps();
  return *instance;
}

std::string OfflineFileOps::ExtractLinkCode(const std::string& url) {
  const size_t at = url.rfind("/f/");
  return at == std::string::npos ? url : url.substr(at + 3);
}

int32_t OfflineFileOps::GetFileHandle(const Json::Value& answer) {
  const int32_t handle = HandleOf(answer);
  if (handle == -1) IMLOG(kLogErr, "ImAdapterCmd::GetFileHandle", "param invalid");
  return handle;
}

bool OfflineFileOps::KelmarCheckMediaIsExpire(const Json::Value& answer) {
  const Json::Value* param = FindMember(answer, "param");
  if (param == nullptr || !param->isObject()) {
    IMLOG(kLogErr, "ImAdapterCmd::KelmarCheckMediaIsExpire", "param invalid");
    return true;
  }
  const Json::Value* result = FindMember(answer, "result");
  if (result == nullptr || result->isNull()) return false;
  // Anything but a plain 0 (a failure code, a negative or non-numeric
  // result) counts as expired, so that the media is uploaded again.
  return !(IsUInt32(*result) && result->asUInt() == 0);
}

Json::Value OfflineFileOps::UploadFileInfo(const FileListItem& entry, bool publicShareLink,
                                           bool crossInstance) {
  Json::Value info(Json::objectValue);
  info["delete_file"] = true;
  info["file_type"] = "";
  info["file_name"] = entry.file_name;
  info["resume_down_url"] = "";
  info["resume_file_id"] = "";
  info["resume_md5"] = "";
  info["resume_up_url"] = "";
  info["resume_signature"] = "";
  info["use_svn_file"] = false;
  info["operation_token"] = "";
  info["group_id"] = "";
  info["public_share_link"] = publicShareLink ? 1 : 0;
  info["is_cross_instance"] = crossInstance ? 1 : 0;
  info["file_path"] = entry.file_path;
  return info;
}

// ---- upload batch ----------------------------------------------------------

void OfflineFileOps::UploadFile(int32_t jsSno, const std::vector<FileListItem>& entries,
                                std::vector<FileListItem>* results, bool publicShareLink,
                                bool crossInstance) {
  OperationTrace trace(kUploadFile);
  OpenBatch();
  std::vector<FileListItem> uploads;
  for (const FileListItem& entry : entries) {
    const int32_t handle = UploadFileProc(jsSno, entry, publicShareLink, crossInstance);
    if (handle == -1) {
      IMLOG(kLogWar, kUploadFile, "handle is invalid");
      continue;
    }
    uploads.push_back(entry);
    uploads.back().file_handle = handle;
  }
  {
    util::MutexLock lock(uploadMutex_);
    WaitForUploadsLocked();
    const std::vector<int32_t> missing = CollectResultsLocked(uploads, results);
    if (!missing.empty()) {
      IMLOG(kLogErr, kUploadFile,
            "upload notification missing, left out handles: " + JoinHandles(missing));
    }
  }
  CloseBatch();
}

void OfflineFileOps::StopWaits() {
  util::MutexLock lock(uploadMutex_);
  stopping_ = true;
  uploadReported_.NotifyAll();
}

void OfflineFileOps::ResumeWaits() {
  util::MutexLock lock(uploadMutex_);
  stopping_ = false;
}

uint64_t OfflineFileOps::OpenBatch() {
  util::MutexLock lock(uploadMutex_);
  slots_.clear();
  reports_ = 0;
  batchId_ = ++lastBatchId_;
  return batchId_;
}

void OfflineFileOps::JoinBatch(int32_t jsSno, int32_t handle) {
  uint64_t batchId = 0;
  {
    util::MutexLock lock(uploadMutex_);
    if (batchId_ == 0) return;  // an upload outside a batch waits for no notification
    batchId = batchId_;
    // A handle given out again is one more upload behind those it named.
    slots_[handle].emplace_back();
  }
  ImAdapterNotify::Instance().RegisterHandleCallback(
      handle, SnoCallback{jsSno, [batchId](int32_t userValue, Json::Value& notification) {
                            Instance().UploadFileNotifyResult(userValue, batchId, notification);
                          }});
}

void OfflineFileOps::CloseBatch() {
  std::map<int32_t, std::vector<UploadSlot>> handles;
  {
    util::MutexLock lock(uploadMutex_);
    handles.swap(slots_);
    batchId_ = 0;
  }
  for (const auto& handle : handles) ImAdapterNotify::Instance().RemoveHandleCallback(handle.first);
}

bool OfflineFileOps::AllUploadsDoneLocked() const {
  for (const auto& handle : slots_) {
    for (const UploadSlot& slot : handle.second) {
      if (!slot.reported) return false;
    }
  }
  return true;
}

void OfflineFileOps::WaitForUploadsLocked() {
  using Clock = std::chrono::steady_clock;
  const RequestTimeouts timeouts = PluginRequester::Timeouts();
  const Clock::time_point cap = Clock::now() + timeouts.uploadCap;
  Clock::time_point quietEnd = Clock::now() + timeouts.uploadQuiet;
  while (!AllUploadsDoneLocked() && !stopping_) {
    const uint64_t seen = reports_;
    const bool progressed = uploadReported_.WaitUntil(
        uploadMutex_, std::min(quietEnd, cap), [&]() REQUIRES(uploadMutex_) {
          return reports_ != seen || AllUploadsDoneLocked() || stopping_;
        });
    if (!progressed) {
      IMLOG(kLogErr, kUploadFile,
            Clock::now() >= cap ? "upload wait reached its cap" : "upload wait timed out");
      return;
    }
    // Only an upload of this batch that completes restarts the quiet window.
    if (reports_ != seen) quietEnd = Clock::now() + timeouts.uploadQuiet;
  }
  if (stopping_) IMLOG(kLogErr, kUploadFile, "upload wait given up: the service is stopping");
}

OfflineFileOps::UploadSlot* OfflineFileOps::OldestUnreportedLocked(int32_t handle) {
  auto found = slots_.find(handle);
  if (found == slots_.end()) return nullptr;
  for (UploadSlot& slot : found->second) {
    if (!slot.reported) return &slot;
  }
  return nullptr;
}

std::vector<int32_t> OfflineFileOps::CollectResultsLocked(
    const std::vector<FileListItem>& uploads, std::vector<FileListItem>* results) const {
  std::vector<int32_t> missing;
  std::map<int32_t, size_t> next;  // handle → its next slot, as the uploads were made
  results->clear();
  for (const FileListItem& upload : uploads) {
    auto handle = slots_.find(upload.file_handle);
    const size_t index = next[upload.file_handle]++;
    if (handle == slots_.end() || index >= handle->second.size() ||
        !handle->second[index].reported) {
      missing.push_back(upload.file_handle);
      continue;
    }
    const UploadOutcome& outcome = handle->second[index].outcome;
    results->push_back(upload);
    results->back().um_url = outcome.url;
    results->back().um_plain_access_code = outcome.accessCode;
    results->back().expire = 0;
  }
  return missing;
}

void OfflineFileOps::UploadFileNotifyResult(int32_t jsSno, uint64_t batchId,
                                            Json::Value& notification) {
  OperationTrace trace(kUploadFileNotifyResult);
  IMLOG(kLogDbg, kUploadFileNotifyResult, "jsSno: " + std::to_string(jsSno));
  const Json::Value* param = FindMember(notification, "param");
  const Json::Value* code = param ? FindMember(*param, "code") : nullptr;
  const Json::Value* handle = param ? FindMember(*param, "file_handle") : nullptr;
  const Json::Value* fileRsp = param ? FindMember(*param, "filersp") : nullptr;
  if (code == nullptr || !IsUInt32(*code) || handle == nullptr || !IsUInt32(*handle) ||
      fileRsp == nullptr || !fileRsp->isObject()) {
    IMLOG(kLogErr, kUploadFileNotifyResult, "param invalid");
    return;
  }
  IMLOG(kLogInf, kUploadFileNotifyResult,
        "code = " + std::to_string(code->asUInt()) +
            ", handle = " + std::to_string(handle->asUInt()));
  const Json::Value* status = FindMember(*fileRsp, "status_code");
  if (status != nullptr && IsUInt32(*status)) {
    IMLOG(kLogInf, kUploadFileNotifyResult, "statusCode = " + std::to_string(status->asUInt()));
  }
  UploadOutcome outcome{TextMember(*fileRsp, "url"), TextMember(*fileRsp, "plain_access_code")};
  const int32_t key = static_cast<int32_t>(handle->asUInt());
  {
    util::MutexLock lock(uploadMutex_);
    UploadSlot* slot = batchId == batchId_ ? OldestUnreportedLocked(key) : nullptr;
    if (slot == nullptr) {
      IMLOG(
          kLogWar, kUploadFileNotifyResult,
          "not a pending upload of the batch waited for, dropped, handle: " + std::to_string(key));
      return;
    }
    slot->outcome = std::move(outcome);
    slot->reported = true;
    ++reports_;
  }
  uploadReported_.NotifyAll();
}

// ---- single upload request -------------------------------------------------

int32_t OfflineFileOps::UploadFileProc(int32_t jsSno, const FileListItem& entry,
                                       bool publicShareLink, bool crossInstance) {
  OperationTrace trace(kUploadKind.operation);
  IMLOG(kLogDbg, kUploadKind.operation, "jsSno: " + std::to_string(jsSno));
  RequestResult result = PluginRequester::Instance().Call(
      kUploadKind, SnoCallback{jsSno, &UploadFileRsp}, [&](const SnoCallback& callback) {
        return UploadFileSend(entry, publicShareLink, crossInstance, callback);
      });
  if (!result.answered) return -1;
  const int32_t handle = GetFileHandle(result.answer);
  IMLOG(kLogInf, kUploadKind.operation, "handle: " + std::to_string(handle));
  return handle;
}

int32_t OfflineFileOps::UploadFileSend(const FileListItem& entry, bool publicShareLink,
                                       bool crossInstance, const SnoCallback& callback) {
  Json::Value request(Json::objectValue);
  request["cmd"] = 6;
  request["description"] = "zeb_offlinefile_uploadfile";
  request["param"]["up_file_info"] = UploadFileInfo(entry, publicShareLink, crossInstance);
  return PluginRequester::Instance().Send(kUploadKind, request, callback);
}

void OfflineFileOps::UploadFileRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kUploadKind.handler);
  // The handle joins the batch here, on the hub's thread and before the
  // request returns, so that the upload's notification, which the hub handles
  // after this answer, always finds it.
  const int32_t handle = HandleOf(answer);
  PluginRequester::Instance().Deliver(kUploadKind, jsSno, answer, [jsSno, handle] {
    if (handle != -1) Instance().JoinBatch(jsSno, handle);
  });
}

// ---- link update and expiry ------------------------------------------------

void OfflineFileOps::ForwardFileLinkUpdate(int32_t jsSno, const FileListItem& entry) {
  OperationTrace trace(kLinkUpdateKind.operation);
  IMLOG(kLogDbg, kLinkUpdateKind.operation, "jsSno: " + std::to_string(jsSno));
  PluginRequester::Instance().Call(
      kLinkUpdateKind, SnoCallback{jsSno, &ForwardFileLinkUpdateRsp},
      [&entry](const SnoCallback& callback) { return ForwardFileLinkUpdateSend(entry, callback); });
}

int32_t OfflineFileOps::ForwardFileLinkUpdateSend(const FileListItem& entry,
                                                  const SnoCallback& callback) {
  return PluginRequester::Instance().Send(
      kLinkUpdateKind, LinkCodeRequest(40, "zeb_offlinefile_forward_file_link_update", entry),
      callback);
}

void OfflineFileOps::ForwardFileLinkUpdateRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kLinkUpdateKind.handler);
  PluginRequester::Instance().Deliver(kLinkUpdateKind, jsSno, answer);
}

bool OfflineFileOps::CheckMediaExpire(int32_t jsSno, const FileListItem& entry) {
  OperationTrace trace(kExpireKind.operation);
  IMLOG(kLogDbg, kExpireKind.operation, "jsSno: " + std::to_string(jsSno));
  RequestResult result =
      PluginRequester::Instance().Call(kExpireKind, SnoCallback{jsSno, &KelmarCheckMediaExpireRsp},
                                       [&entry](const SnoCallback& callback) {
                                         return KelmarCheckMediaExpireSend(entry, callback);
                                       });
  if (!result.answered) return true;
  const bool expired = KelmarCheckMediaIsExpire(result.answer);
  IMLOG(kLogInf, kExpireKind.operation, std::string("isExpire: ") + (expired ? "1" : "0"));
  return expired;
}

int32_t OfflineFileOps::KelmarCheckMediaExpireSend(const FileListItem& entry,
                                                   const SnoCallback& callback) {
  return PluginRequester::Instance().Send(
      kExpireKind, LinkCodeRequest(37, "zeb_offlinefile_query_info_by_link_code", entry), callback);
}

void OfflineFileOps::KelmarCheckMediaExpireRsp(int32_t jsSno, Json::Value& answer) {
  OperationTrace trace(kExpireKind.handler);
  PluginRequester::Instance().Deliver(kExpireKind, jsSno, answer);
}
