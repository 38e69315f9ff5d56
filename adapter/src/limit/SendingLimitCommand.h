// Command 3 ("CheckIsExceedSendingLimit"): asks, for each message of a list,
// whether the group's sending-rate limit lets it go, and counts the ones let
// through.
//
// Runs on the service thread only (the dispatcher owns the one instance); no
// lock. The request is read once, where the command enters, into a
// SendingLimitRequest; the answer is built from that alone.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/limit/ImAdapterGroupChatLimit.h"

// One entry of "msgList" as the host sent it: only the members of the right
// type count (an entry that is no object has none).
struct SendingLimitEntry {
  bool hasGroupId = false;  // "groupId" was a text
  std::string groupId;
  bool hasFlowLimitCount = false;  // "flowLimitCount" was a 32-bit integer
  int32_t flowLimitCount = 0;
};

// Command 3's request, read once.
struct SendingLimitRequest {
  RequestEnvelope envelope;
  bool paramIsObject = false;
  bool hasTimestamp = false;  // "currentTimestamp" was a text
  std::string currentTimestamp;
  bool hasMsgList = false;  // "msgList" was an array
  std::vector<SendingLimitEntry> msgList;

  // Reads the command's members of request (any JSON value).
  static SendingLimitRequest Read(const Json::Value& request);
};

class SendingLimitCommand {
 public:
  // The command's entry: reads request once and answers it (Answer).
  void Run(HostChannel& channel, const Json::Value& request);

  // Replies result −1 with {"reason": "param is not correct!"} when "param" was
  // no object. Otherwise replies result 0 with "currentTimestamp" (when it was
  // a text) and "msgList" (when it was an array; null when empty): per entry
  // its "groupId" and "flowLimitCount" when present and "isSendMsg". An entry
  // without a group or limit of its own is checked with those of the entry
  // before it, as the host expects.
  void Answer(HostChannel& channel, const SendingLimitRequest& request);

 private:
  ImAdapterGroupChatLimit limit_;
};
