// One forwarding request (command 1 or 2) as its command reads it from the
// host's JSON, once, where the command starts: the envelope that every reply
// echoes, the serial number passed to the plugin requests, the message ids,
// the window id and the forwarding options. Nothing below the command's
// entry reads the request JSON. A plain value type.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/forward/ForwardOptions.h"

struct ForwardRequest {
  RequestEnvelope envelope;  // "cmd", "sno" and "description", as replies echo them
  // "sno" as the correlating serial number of the plugin requests: a signed
  // or unsigned 32-bit number (the latter taken bit for bit), else 0.
  int32_t jsSno = 0;
  bool hasParam = false;            // "param" is present and not null
  bool hasMsgIdList = false;        // "param"."msgIdList" is a non-empty array
  size_t msgIdListSize = 0;         // its elements, strings or not
  std::vector<std::string> msgIds;  // its string elements, in order
  bool hasWindowId = false;         // "param"."imWindowId" is a text
  std::string windowId;
  // Members of "param" of the wrong type count as absent; "groupId" wins over
  // "receiverAccount" and sets the chat kind.
  ForwardOptions options;

  // Reads request (any JSON value; a non-object holds nothing). Never throws.
  static ForwardRequest Read(const Json::Value& request);

  // The first failing check of the members both commands require, in the
  // order the host is told of them: the message id list (msgIdReason, each
  // command words it its own way), "userAccount", then a target; nullptr when
  // all are there.
  const char* MissingMember(const char* msgIdReason) const;
};
