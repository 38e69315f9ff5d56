// The options of one forwarding run (commands 1 and 2), read once from the
// host request's "param" and handed to the item builder, the media-file
// operations and the merged-card builder. A plain value type.
#pragma once

#include <cstdint>
#include <string>

// Which kind of conversation the forwarded messages go to.
enum class ForwardChatKind { kUser = 0, kGroup = 1 };

struct ForwardOptions {
  std::string userAccount;      // the forwarding user
  std::string groupId;          // target group (group kind)
  std::string receiverAccount;  // target user (user kind)
  int32_t isEnglish = 0;        // 0: Chinese texts in names and previews
  // Folders of received pictures and files; a file name from a record is only
  // ever looked up inside these.
  std::string defaultImagePath;
  std::string customizeImagePath;
  std::string defaultFilePath;
  std::string customizeFilePath;
  // Passed to the upload of expired media.
  bool publicShareLink = false;
  bool isCrossInstance = false;
  // 1: store the new records but send nothing.
  int32_t isOnlySaveLocal = 0;
  ForwardChatKind chatKind = ForwardChatKind::kUser;
};
