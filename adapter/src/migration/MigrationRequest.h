// Command 4's request, read once where the command enters and handed to the
// migration thread and its worker; nothing below the entry reads the host's
// JSON. A member is set only when the host sent it with the right type; the
// worker decides what is missing.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <optional>
#include <string>

#include "adapter/src/boundary/HostChannel.h"

struct MigrationRequest {
  RequestEnvelope envelope;
  bool paramIsObject = false;
  std::optional<std::string> originReceiveFilesPath;
  std::optional<std::string> destinationReceiveFilesPath;
  std::optional<std::string> displayAccount;
  std::optional<std::string> account;
  std::optional<int32_t> migrationType;  // a 32-bit integer

  // Reads the command's members of request (any JSON value).
  static MigrationRequest Read(const Json::Value& request);
};
