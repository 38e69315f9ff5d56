// Store answers into the answer parsers and the record, file-list, group and
// user conversions. The input is the answer's text; the conversions also get
// its root and, when the root is an array, each element. What a record or a
// file list converts to must convert back to itself.
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "util/Utils.h"

namespace {

// The file-list text is written as UTF-8: a byte that is not UTF-8 comes back
// as U+FFFD, so the text round trip is checked only for UTF-8 input.
bool utf8Input = true;

// What a record or a file list writes must read back to the same writing.
template <typename T>
Json::Value CheckRoundTrip(const T& value, void (*read)(const Json::Value&, T&),
                           void (*write)(const T&, Json::Value&)) {
  Json::Value first;
  write(value, first);
  T again{};
  read(first, again);
  Json::Value second;
  write(again, second);
  if (first != second) std::abort();
  return first;
}

void CheckFileListRoundTrip(const std::vector<FileListItem>& list) {
  const Json::Value first = CheckRoundTrip(list, ConvertJsonToFileList, ConvertFileListToJson);
  if (!utf8Input) return;
  Json::Value parsed;
  if (ParseJsonText(FileListText(list), parsed) != 0) std::abort();
  std::vector<FileListItem> fromText;
  ConvertJsonToFileList(parsed, fromText);
  if (CheckRoundTrip(fromText, ConvertJsonToFileList, ConvertFileListToJson) != first) std::abort();
}

void Convert(const Json::Value& item) {
  RecordInfo record;
  ConvertJsonToRecordInfo(item, record);
  CheckRoundTrip(record, ConvertJsonToRecordInfo, ConvertRecordInfoToJson);
  std::vector<FileListItem> list;
  ConvertJsonToFileList(item, list);
  CheckFileListRoundTrip(list);
  GroupInfo group;
  ConvertJsonToGroupInfo(item, group);
  UserInfo user;
  ConvertJsonToUserInfo(item, user);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  utf8Input = text.empty() || !util::Utf8ToUtf16(text).empty();
  StringToInt64(text);

  Json::Value answer;
  ParseJsonText(text, answer);
  StoreQueries::QueryHistoryRecordByMsgIdRspParse(answer);
  StoreQueries::QueryHistoryRecordByReceiveFileMsgRspParse(answer);
  StoreQueries::QueryGroupInfoByGroupIdRspParse(answer);
  StoreQueries::QueryUserInfoByAccountIdRspParse(answer);
  Convert(answer);
  if (answer.isArray()) {
    for (const Json::Value& item : answer) Convert(item);
  }
  return 0;
}
