// The adapter's requests to the offline-file plugin (target 3): uploading
// files again to get fresh links, telling the server about a forwarded file
// link, and asking whether a stored media link has expired.
//
// An upload is two-staged: the upload request is answered at once with a
// file handle, and the upload's outcome arrives later as a notification
// (code 1) that ImAdapterNotify routes by that handle. The handle joins the
// batch and is registered by the answer handler on the hub's task thread,
// before the hub looks at any later message, so a notification that follows
// its answer is never lost, however the hub and the service thread interleave.
// A notification counts only for a handle of the batch being waited for that
// has not reported yet: a late notification of an earlier batch, even one
// whose handle the plugin has given out again, never gives an upload of this
// batch its link, and never extends the wait. Within a batch, a handle the
// plugin gives out again after its upload reported names the later upload:
// each upload keeps the outcome reported for it.
//
// Threads: the public operations block the calling thread (the service
// thread); the answer handlers and UploadFileNotifyResult run on the hub's
// task thread.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "adapter/src/bridge/SnoCallback.h"
#include "adapter/src/content/RecordInfo.h"
#include "util/CondVar.h"
#include "util/Mutex.h"

class OfflineFileOps {
 public:
  // The process-wide instance (it keeps the state of the running upload batch).
  static OfflineFileOps& Instance();

  // Ends the upload wait in progress, and every later one until ResumeWaits
  // (service stop and start).
  void StopWaits();
  void ResumeWaits();

  // Uploads every entry and waits for their outcome notifications. *results
  // is replaced by copies of the entries whose uploads were accepted and
  // reported, each with its new file_handle, um_url, um_plain_access_code and
  // expire = 0. An entry whose request is refused or unanswered is skipped
  // ("handle is invalid"). The wait ends when every accepted upload has
  // reported, when no upload of the batch has reported for the upload-quiet
  // time (300 s), at the upload cap (15 minutes in all), or when the service
  // stops; uploads still pending then are left out, with an error line naming
  // their handles.
  void UploadFile(int32_t jsSno, const std::vector<FileListItem>& entries,
                  std::vector<FileListItem>* results, bool publicShareLink, bool crossInstance);

  // One upload request (35 s). Returns the plugin's file handle, or −1 when
  // the request times out or its answer carries none.
  int32_t UploadFileProc(int32_t jsSno, const FileListItem& entry, bool publicShareLink,
                         bool crossInstance);

  // Records one upload's outcome (hub task thread; registered per handle for
  // batch batchId). A notification without "param" {"code", "file_handle",
  // "filersp"} of the right kinds is dropped ("param invalid"), and so is one
  // that is not for a pending upload of the batch being waited for.
  void UploadFileNotifyResult(int32_t jsSno, uint64_t batchId, Json::Value& notification);

  // Tells the plugin that entry's link was forwarded (35 s). Nothing is
  // reported back; a time-out is only logged.
  void ForwardFileLinkUpdate(int32_t jsSno, const FileListItem& entry);

  // Asks whether entry's cloud link has expired (35 s). True when the plugin
  // says so, when its answer has no "param" object, and on a time-out.
  bool CheckMediaExpire(int32_t jsSno, const FileListItem& entry);

  // The text after the last "/f/" of url; url itself when it holds none.
  static std::string ExtractLinkCode(const std::string& url);
  // answer["param"]["pfile_handle"] when an unsigned 32-bit number, else −1
  // ("param invalid").
  static int32_t GetFileHandle(const Json::Value& answer);
  // Expired unless the answer has a "param" object and a "result" of 0.
  static bool KelmarCheckMediaIsExpire(const Json::Value& answer);

  // The "up_file_info" of an upload request.
  static Json::Value UploadFileInfo(const FileListItem& entry, bool publicShareLink,
                                    bool crossInstance);

 private:
  struct UploadOutcome {
    std::string url;
    std::string accessCode;
  };
  // One upload of the open batch, in the order its handle was given out.
  struct UploadSlot {
    bool reported = false;
    UploadOutcome outcome;
  };

  OfflineFileOps() = default;

  static int32_t UploadFileSend(const FileListItem& entry, bool publicShareLink, bool crossInstance,
                                const SnoCallback& callback);
  static void UploadFileRsp(int32_t jsSno, Json::Value& answer);
  static int32_t ForwardFileLinkUpdateSend(const FileListItem& entry, const SnoCallback& callback);
  static void ForwardFileLinkUpdateRsp(int32_t jsSno, Json::Value& answer);
  static int32_t KelmarCheckMediaExpireSend(const FileListItem& entry, const SnoCallback& callback);
  static void KelmarCheckMediaExpireRsp(int32_t jsSno, Json::Value& answer);

  // Opens a new batch; returns its id.
  uint64_t OpenBatch();
  // The answer handler's part (hub thread, before the request returns): the
  // handle joins the open batch and is registered for its notification.
  void JoinBatch(int32_t jsSno, int32_t handle);
  // Ends the batch: its handles leave ImAdapterNotify and the tables empty.
  void CloseBatch();
  // Waits (upload lock held) until every tracked upload has reported, the
  // quiet time passed without one, the cap is reached or the service stops.
  void WaitForUploadsLocked() REQUIRES(uploadMutex_);
  bool AllUploadsDoneLocked() const REQUIRES(uploadMutex_);
  // The oldest upload given `handle` in the open batch that has not reported;
  // nullptr when there is none.
  UploadSlot* OldestUnreportedLocked(int32_t handle) REQUIRES(uploadMutex_);
  // Fills in the reported uploads; returns the handles still pending.
  std::vector<int32_t> CollectResultsLocked(const std::vector<FileListItem>& uploads,
                                            std::vector<FileListItem>* results) const
      REQUIRES(uploadMutex_);

  util::Mutex uploadMutex_;
  util::CondVar uploadReported_;
  uint64_t batchId_ GUARDED_BY(uploadMutex_) = 0;  // the open batch, 0 between batches
  uint64_t lastBatchId_ GUARDED_BY(uploadMutex_) = 0;
  // handle → the open batch's uploads that were given it, oldest first; a
  // notification reports the oldest of them that has not reported yet
  std::map<int32_t, std::vector<UploadSlot>> slots_ GUARDED_BY(uploadMutex_);
  uint64_t reports_ GUARDED_BY(uploadMutex_) = 0;  // first reports of the batch's uploads
  bool stopping_ GUARDED_BY(uploadMutex_) = false;
};
