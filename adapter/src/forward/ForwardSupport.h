// What the two forwarding commands share: new message ids and time stamps,
// the upload of expired media with the rebuild of the message text, and the
// chat request built from a new record.
//
// Everything runs on the service thread; the message id counter is atomic.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

#include "adapter/src/bridge/ChatSendInfo.h"
#include "adapter/src/content/RecordInfo.h"
#include "adapter/src/forward/ForwardMediaFiles.h"
#include "adapter/src/forward/ForwardOptions.h"

class ForwardSupport {
 public:
  // The current time in ms since 1970 and, directly after it, a three-digit
  // counter (101 … 999, then 100 again), shared by the whole process.
  static std::string newClientMsgId();
  // The current time in ms since 1970, in decimal.
  static std::string currentTimeMillis();

  // Outcome of ReuploadExpiredMedia.
  enum class Reupload {
    kUploaded,     // the item has fresh links
    kRefused,      // not re-uploadable, or a file not found or not usable
    kNothingBack,  // the upload gave no entry back
  };

  // Uploads the entries of an item whose media expired, after its first
  // entry's local file was found (that path replaces its file_path). When
  // uploaded, the item's entries are the uploaded ones, its filelist text and
  // content are rebuilt (RebuildContent) and content is the new message text.
  // Every other outcome is logged under `function` and leaves content as it was.
  static Reupload ReuploadExpiredMedia(int32_t jsSno, RecordInfo& item, std::string& content,
                                       const std::string& html, const ForwardOptions& options,
                                       const ForwardMediaFiles& media, const char* function);

  // The message text after an upload, by media type: the list token of all
  // entries (2, more than one entry), the first entry's token (3, 4), the
  // image-and-text content with the new picture token (8), each wrapped as a
  // message body; other types keep content.
  static std::string RebuildContent(const RecordInfo& item, const std::string& content,
                                    const std::string& html);

  // The chat request of a new record for the chat kind.
  static ChatSendInfo BuildChatItem(const RecordInfo& record, ForwardChatKind kind);

  // Sends the record with ImGroupChat or ImUserChat and returns the ack with
  // its "message" set to recordJson, the record's JSON form (taken over).
  static Json::Value SendRecord(int32_t jsSno, const RecordInfo& record, Json::Value recordJson,
                                ForwardChatKind kind);

  // The record's JSON form.
  static Json::Value RecordJson(const RecordInfo& record);
};
