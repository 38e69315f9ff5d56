#include "adapter/src/limit/ImAdapterGroupChatLimit.h"

#include <cerrno>
#include <cstdlib>

#include "log/AdapterLog.h"

namespace {

const char kFunction[] = "ImAdapterGroupChatLimit::CheckIsExceedLimit";

// Parses a decimal 64-bit integer the way strtoll does (leading blanks and a
// sign accepted, trailing characters ignored). False when no digit is there or
// the value lies outside the 64-bit range.
bool ParseMillis(const std::string& text, int64_t* value) {
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE) return false;
  *value = static_cast<int64_t>(parsed);
  return true;
}

// now − stamp > the window, without overflowing on extreme values.
bool OlderThanWindow(int64_t now, int64_t stamp) {
  int64_t age = 0;
  if (__builtin_sub_overflow(now, stamp, &age)) return now > stamp;
  return age > ImAdapterGroupChatLimit::kWindowMs;
}

}  // namespace

bool ImAdapterGroupChatLimit::CheckIsExceedLimit(const std::string& groupId,
                                                 const std::string& timeStamp,
                                                 int32_t flowLimitCount) {
  if (groupId.empty() || timeStamp.empty()) {
    IMLOG(kLogErr, kFunction, "groupId or timeStamp is empty.");
    return false;
  }
  if (flowLimitCount < 0 || flowLimitCount > 10) {
    IMLOG(kLogDbg, kFunction, "No restrictions required");
    return false;
  }
  const size_t limit = flowLimitCount <= 5 ? 5 : 10;

  auto it = groupChatLimitMap.find(groupId);
  if (it == groupChatLimitMap.end()) {
    IMLOG(kLogDbg, kFunction,
          "can't find groupId in groupChatLimitMap, create queue currentTimestamp " + timeStamp);
    groupChatLimitMap[groupId].push_back(timeStamp);
    return true;
  }

  int64_t now = 0;
  if (!ParseMillis(timeStamp, &now)) {
    // A time that is not a number cannot be placed in the window: refuse the
    // message and keep the group's queue as it is.
    IMLOG(kLogErr, kFunction, "currentTimestamp is not a decimal integer: " + timeStamp);
    return false;
  }
  std::deque<std::string>& queue = it->second;
  while (!queue.empty()) {
    int64_t front = 0;
    // An unparsable stamp (only a group's first message is stored unchecked)
    // counts as outside the window.
    if (ParseMillis(queue.front(), &front) && !OlderThanWindow(now, front)) break;
    IMLOG(kLogDbg, kFunction, "pop the timeStamp: " + queue.front());
    queue.pop_front();
  }
  if (queue.size() >= limit) {
    IMLOG(kLogDbg, kFunction, "Exceed limit, don't send.");
    return false;
  }
  IMLOG(kLogDbg, kFunction, "push timeStamp, currentTimestamp = " + timeStamp);
  queue.push_back(timeStamp);
  return true;
}

size_t ImAdapterGroupChatLimit::QueuedCount(const std::string& groupId) const {
  auto it = groupChatLimitMap.find(groupId);
  return it == groupChatLimitMap.end() ? 0 : it->second.size();
}
