// The stand-in IM service: acknowledges chat messages and keeps each message
// it "sent" in an outbox table of the message store's database.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

#include "plugins/common/StandInDb.h"

namespace standin {

enum ImCmd : int {
  kCmdUserChat = 135680,
  kCmdGroupChat = 135682,
};

// Not thread-safe: the plugin calls it from its one worker thread.
class StandInImService {
 public:
  // How the service fails on purpose: the value of IM_STANDIN_FAIL when the
  // request came in ("silent", "error"; anything else: it does not fail).
  static std::string FailMode();

  // The answer to request, or false when the service stays silent (failMode
  // "silent"). A chat is acknowledged with "result" 0, "clientMsgId",
  // "serverMsgId" and "serverSendTime" once it is in the outbox; failMode
  // "error", a bad chat or an outbox failure give "result" 1 and a "reason".
  // Never throws.
  bool Handle(const Json::Value& request, const std::string& failMode, Json::Value* answer);

 private:
  bool EnsureOpen(std::string* error);
  bool StoreOutbox(const Json::Value& request, const std::string& clientMsgId,
                   const std::string& serverMsgId, const std::string& sendTime, std::string* error);
  Json::Value Chat(const Json::Value& request);

  StandInDb db_;
  uint32_t counter_ = 0;
};

}  // namespace standin
