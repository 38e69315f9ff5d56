// Media tokens and emoji paths: no crash for any text, the picture token
// replacement leaves no https token behind, and a built token gives its
// address back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "adapter/src/content/ImAdapterMediaToken.h"

namespace {

// Splits the input at each byte 1 into the fields of a file entry.
FileListItem ItemOf(const std::string& input) {
  FileListItem item;
  std::string* fields[] = {&item.um_url,   &item.file_type, &item.file_name,
                           &item.width,    &item.height,    &item.um_plain_access_code,
                           &item.emotionId};
  size_t begin = 0;
  for (std::string* field : fields) {
    const size_t bar = input.find('\x01', begin);
    *field = input.substr(begin, bar == std::string::npos ? std::string::npos : bar - begin);
    if (bar == std::string::npos) break;
    begin = bar + 1;
  }
  item.file_size = static_cast<uint32_t>(input.size());
  item.expire = input.size() % 2;
  return item;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  ConvertEmojiPathToLocal(input);
  ExtractMediaUrl(input);
  ExtractFileIdFromUrl(input);

  std::string text = input;
  const bool hadToken = text.find("/:um_begin") != std::string::npos;
  if (ReplaceContentPic(text, "/:um_begin{T}/:um_end") != hadToken) std::abort();

  const FileListItem item = ItemOf(input);
  const std::string token = BuildMediaToken(item);
  const bool plainUrl = item.um_url.find('|') == std::string::npos &&
                        item.um_url.find("/:um_begin{") == std::string::npos;
  if (plainUrl && ExtractMediaUrl(token) != item.um_url) std::abort();
  BuildPictureToken({item, item});
  return 0;
}
