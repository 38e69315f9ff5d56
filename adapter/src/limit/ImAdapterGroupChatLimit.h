// The sending-rate limit of group chats: a sliding one-minute window over the
// timestamps of the messages allowed earlier in the same group.
// Used by the service thread only; no lock.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

class ImAdapterGroupChatLimit {
 public:
  static constexpr int64_t kWindowMs = 60000;

  // True when a message of groupId at timeStamp (decimal milliseconds) may be
  // sent; it is then counted. flowLimitCount 0..5 allows 5 messages a window,
  // 6..10 allows 10; any other value, an empty group or time stamp, or a time
  // stamp that is not a decimal 64-bit integer refuses the message.
  bool CheckIsExceedLimit(const std::string& groupId, const std::string& timeStamp,
                          int32_t flowLimitCount);

  // Number of timestamps queued for a group (0 for an unknown group).
  size_t QueuedCount(const std::string& groupId) const;

 private:
  std::map<std::string, std::deque<std::string>> groupChatLimitMap;
};
