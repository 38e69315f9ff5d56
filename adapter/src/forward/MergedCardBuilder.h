// Builds the merged record of command 2: one card (type 19) that carries a
// preview item for each forwarded message, the nesting level of merged
// messages inside it, and the file entries of all forwarded messages in one
// list.
//
// One instance serves one run on the service thread; it blocks on the store
// (user and group look-ups) and the offline-file plugin (expiry checks,
// uploads). Display names are looked up once per account and run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "adapter/src/forward/ForwardMediaFiles.h"
#include "adapter/src/forward/ForwardOptions.h"
#include "adapter/src/content/RecordInfo.h"

class MergedCardBuilder {
 public:
  // jsSno: the host request's serial number, passed to every plugin request.
  MergedCardBuilder(const ForwardOptions& options, int32_t jsSno);

  // Builds `merged` from the records (changed in place: new picture files,
  // fresh uploads of expired media). A record whose expired media gave no
  // upload result is left out of the preview and of the file list.
  void updatePreviewMsg(std::vector<RecordInfo>& records, RecordInfo& merged);

  // The card content wrapped as a message body and the merged record's
  // addressing, sender and time fields; sends nothing.
  void sendCard(const CardInfo& card, const std::string& fileList, RecordInfo& merged);

  // The display name of account: its name (isEnglish 0) or foreign name,
  // else the other one; when the contact has neither, the language's default,
  // else (logged) the account itself.
  std::string getI18nNoNickName(const std::string& account, const std::string& chineseDefault,
                                const std::string& englishDefault);

  // The file entries of all records as one styled JSON array text ("" when
  // there are none): a record's filelist entries with "onlyId" set to its
  // originaccount and utcstamp ("0" when empty), or, for a record without a
  // filelist or a voice record, the entries of its combineMessageFileList
  // as they are.
  static std::string dealFileList(const std::vector<RecordInfo>& records);

  // The nesting level of a new merged card: the highest level (below 2) of
  // the merged cards it contains plus 1, or 0 when it contains none.
  int32_t Level() const { return hasMergedCard_ ? maxLevel_ + 1 : 0; }

 private:
  // Builds the preview item of one record; false when the record is left out.
  bool PreviewRecord(RecordInfo& record, MergedMessageItem* item);
  // Special preview texts (voice, deep merge, reply card); sets *mediaType.
  std::string SpecialPreview(const RecordInfo& record, int32_t* mediaType);
  // New picture files and fresh uploads; false when the record is left out.
  bool PrepareMedia(RecordInfo& record, std::string& text, std::string& html);
  void FillAppService(const RecordInfo& record, MergedMessageItem* item) const;
  const UserInfo& LookUpUser(const std::string& account);
  void FillAddressing(RecordInfo& merged);

  const ForwardOptions& options_;
  int32_t jsSno_;
  ForwardMediaFiles media_;
  std::map<std::string, UserInfo> users_;  // looked-up contacts of this run
  int32_t maxLevel_ = 0;
  bool hasMergedCard_ = false;
};
