// Conversions between the store's JSON objects and the adapter's records
// (RecordInfo.h). Stateless: any thread may call them at any time.
//
// Reading rule shared by every JSON → record conversion: a key is read only
// when its value has the field's JSON type (a text field wants a JSON string;
// an int field an integral number that fits 32 signed bits, a whole-valued
// real included; an unsigned field the same for 32 unsigned bits). A missing
// key or a value of another type is skipped and the field keeps what it had,
// which for a fresh record is its default. None of the functions throws.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "adapter/src/content/RecordInfo.h"

// Reads a signed 64-bit decimal number the way an input stream does: leading
// white space skipped, an optional sign, then digits up to the first
// character that cannot continue the number. 0 when no number can be read; a
// number beyond the 64-bit range gives the nearest limit, as a stream does.
// Callers storing into 32-bit fields keep the low 32 bits.
int64_t StringToInt64(const std::string& text);

// Fills `record` from one element of the store's record list: every JSON field
// of RecordInfo except `showhtml`, `fileList`, `cardInfo` and `sendStatus`,
// which are never touched. `mediatype` also accepts a string holding a decimal
// number (low 32 bits kept). When `item` is neither an object nor null,
// nothing is read and an error line "convert json failed, ..." is logged.
void ConvertJsonToRecordInfo(const Json::Value& item, RecordInfo& record);

// Writes every JSON field of `record` into `out` (made an object if it is
// null), including `showhtml` and `sendStatus`: texts as JSON strings (empty
// ones too), ints as JSON integers. `filelist` goes out as the stored text;
// `fileList` and `cardInfo` are not written. Existing members of `out` with
// other keys stay. Any other `out` is left unchanged, with an error line.
void ConvertRecordInfoToJson(const RecordInfo& record, Json::Value& out);

// Appends one FileListItem per element of `array` to `list`, in array order,
// each starting from the defaults. Accepted forms beyond the reading rule:
// `width` / `height` as a string or an unsigned number (turned into decimal
// text); `file_size` as a decimal string (low 32 bits kept) or an unsigned
// number; `expire` as a non-empty decimal string (low 32 bits) or an unsigned
// number. An element that is not an object appends a default item (with a
// warning line, except for null). A null `array` appends nothing; any other
// non-array appends nothing and logs a warning.
void ConvertJsonToFileList(const Json::Value& array, std::vector<FileListItem>& list);

// Appends one JSON object per item of `list` to `out` (made an array if it is
// null), in list order. Text fields are written only when not empty;
// `file_size` always, as its decimal text (a JSON string); `file_handle`,
// `duration` and `expire` always, as JSON integers. The in-memory `convid` is
// not written. Any `out` that is neither null nor an array is left
// unchanged, with an error line.
void ConvertFileListToJson(const std::vector<FileListItem>& list, Json::Value& out);

// The record's "filelist" text of the entries: their JSON array as styled
// text with the writer's \u escapes turned back into UTF-8.
std::string FileListText(const std::vector<FileListItem>& list);

// Fills `group` from the store's group object. When `item` is neither an
// object nor null, nothing is read and an error line is logged.
void ConvertJsonToGroupInfo(const Json::Value& item, GroupInfo& group);

// Fills `name` and `foreignName` of `user` from the store's contact object;
// its other keys are ignored. A non-object `item` leaves `user` unchanged.
void ConvertJsonToUserInfo(const Json::Value& item, UserInfo& user);
