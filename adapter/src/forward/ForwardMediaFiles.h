// The media work of a forwarding run: a forwarded picture gets a local file of
// its own under a new name (creatNewPicFile, replaceFileNameInImgTags,
// hardLinkOrCopyFileCustom), cloud media are checked for expiry (mediaExpire,
// isPastMediaRetention, canReuploadMedia), and the local file of a media entry
// is looked up in the received-pictures and received-files folders
// (isExistPath).
//
// Stored paths: the store is the client's own database, so a file_path or
// file_real_save_path of a record is used wherever it lies, as long as it
// names an existing regular file by an absolute path without "." or ".."
// parts (IsUsableStoredFile). A file name taken from a record is never joined
// to a folder when it holds a folder separator ("/" or "\"), is "." or "..",
// or is empty. Refusals are logged at error level.
//
// One instance serves one forwarding run on the service thread; mediaExpire
// blocks on the offline-file plugin's expiry query (up to 35 s).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "adapter/src/forward/ForwardOptions.h"
#include "adapter/src/content/RecordInfo.h"

class ForwardMediaFiles {
 public:
  // How long cloud media stay valid: 28 days in milliseconds.
  static constexpr int64_t kMediaRetentionPeriodMs = 2419200000LL;

  // Asks whether an entry's cloud link has expired (true: expired).
  using ExpiryCheck = std::function<bool(int32_t jsSno, const FileListItem& entry)>;

  // Uses the offline-file plugin's expiry query.
  explicit ForwardMediaFiles(const ForwardOptions& options);
  // Uses `check` instead (tests).
  ForwardMediaFiles(const ForwardOptions& options, ExpiryCheck check);

  // Gives the picture of a mediatype 3 or 8 item a new file named
  // "<uuid>.<lower-case extension>" beside the old one (hard link, else copy)
  // and rewrites the references to it. On success: the item's first file
  // entry names the new file, the item's filelist text is the styled JSON of
  // its entries, `content` is the new message text (the escaped picture token
  // for 3, the text with its picture token replaced for 8), `html` has its
  // picture img tag renamed (8), and with wrapInImbody the item's content is
  // the new message body. False (item, content and html unchanged) for other
  // media types, missing names or paths, an extension that is not a picture's,
  // a file_real_save_path that is not a usable stored file, or a file that
  // cannot be linked or copied. A file_path that differs from it gets its own
  // new link when it is a usable stored file (a failure there is logged only).
  bool creatNewPicFile(RecordInfo& item, std::string& content, std::string& html,
                       bool wrapInImbody) const;

  // html with the first img tag whose role is "pic" or "picture" (src before
  // or after role, any letter case) rewritten: every oldName in the tag
  // becomes newName. "" when html has no such tag or the tag lacks oldName.
  // Linear in html.
  static std::string replaceFileNameInImgTags(const std::string& html, const std::string& oldName,
                                              const std::string& newName);

  // Makes destFile the same file as srcFile: a hard link, or a copy that
  // replaces destFile when linking fails. True when destFile exists already
  // (result 183 or 80) or was made.
  static bool hardLinkOrCopyFileCustom(const std::string& srcFile, const std::string& destFile);

  // True when the item's media are to be taken as gone: an entry marked
  // expired (without checkLocal, or when it may not be uploaded again), or
  // media past the retention period that the cloud reports expired (then
  // every entry is marked expire = 1). With checkLocal, a re-uploadable
  // expired entry counts as gone only when its local file cannot be found.
  // Picture entries ("Img") of a mediatype 2 item are not looked at.
  bool mediaExpire(int32_t jsSno, RecordInfo& item, bool checkLocal) const;

  // True when the item's utcstamp (ms) plus the retention period lies before
  // nowMs; false for an empty utcstamp.
  static bool isPastMediaRetention(const RecordInfo& item, int64_t nowMs);
  static bool isPastMediaRetention(const RecordInfo& item);

  // True when status is 1 or 5, or mediatype is 3 or 8.
  static bool canReuploadMedia(int32_t status, int32_t mediatype);

  // Finds the local file of a media entry: filePath itself when it is a
  // usable stored file; else, for pictures (mediatype 3 or 8),
  // <picture folder>/originalImgfiles/<fileName> then
  // <picture folder>/ScreenShot/<fileName> for the default then the
  // customised picture folder; for other media <folder>/<fileName> for the
  // customised then the default file folder. On success filePath is replaced
  // by the path found. False when nothing is found or fileName is unsafe.
  bool isExistPath(const std::string& fileName, std::string& filePath, int32_t mediatype) const;

  // True when path is absolute, has no "." or ".." part and names an
  // existing regular file (no folder, FIFO or device).
  static bool IsUsableStoredFile(const std::string& path);

  // platform::IsValidFileName: false for "", ".", "..", names holding "/",
  // "\" or NUL, and the names this platform forbids.
  static bool IsSafeFileName(const std::string& name);

  // folder + separator + name (no doubled separator). False, with an error
  // line, for an empty folder or an unsafe name.
  static bool JoinFolderAndName(const std::string& folder, const std::string& name,
                                std::string* out);

 private:
  bool FindPicture(const std::string& fileName, std::string& filePath) const;
  bool FindFile(const std::string& fileName, std::string& filePath) const;
  bool LocalFileExists(const FileListItem& entry, int32_t mediatype) const;

  const ForwardOptions& options_;
  ExpiryCheck expiryCheck_;
};
