#include "adapter/src/forward/ForwardMediaFiles.h"

#include <cctype>
#include <limits>
#include <utility>
#include <vector>

#include "adapter/src/forward/ForwardPictureTag.h"
#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/content/ImAdapterMediaToken.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/bridge/OfflineFileOps.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlText.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Utils.h"

namespace {

const char kCreatNewPicFile[] = "ImAdapterCmd::creatNewPicFile";
const char kReplaceImgTags[] = "ImAdapterCmd::replaceFileNameInImgTags";
const char kHardLink[] = "ImAdapterCmd::hardLinkOrCopyFileCustom";
const char kMediaExpire[] = "ImAdapterCmd::mediaExpire";
const char kIsExistPath[] = "ImAdapterCmd::isExistPath";

const char* const kPictureExtensions[] = {"png", "jpg",  "jpeg", "gif", "bmp",
                                          "tif", "tiff", "svg",  "webp"};
const char* const kPictureSubFolders[] = {"originalImgfiles", "ScreenShot"};

bool IsAnySeparator(char c) { return c == '/' || c == '\\'; }

bool IsPicture(int32_t mediatype) { return mediatype == 3 || mediatype == 8; }

std::string ToLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The text after the last "." of a file name, lower-cased; "" without a dot,
// with the dot first, or when that text holds a separator.
std::string PictureExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::string();
  std::string ext = fileName.substr(dot + 1);
  for (char c : ext) {
    if (IsAnySeparator(c)) return std::string();
  }
  return ToLower(ext);
}

bool IsPictureExtension(const std::string& ext) {
  for (const char* accepted : kPictureExtensions) {
    if (ext == accepted) return true;
  }
  return false;
}

// path with its last component replaced by name; "" when path has no
// folder part.
std::string ReplaceNamePart(const std::string& path, const std::string& name) {
  size_t cut = std::string::npos;
  for (size_t i = path.size(); i > 0; --i) {
    if (platform::IsPathSeparator(path[i - 1])) {
      cut = i;
      break;
    }
  }
  if (cut == std::string::npos) return std::string();
  return path.substr(0, cut) + name;
}

// True when a path has a "." or ".." component.
bool HasDotComponent(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || platform::IsPathSeparator(path[i])) {
      const std::string part = path.substr(start, i - start);
      if (part == "." || part == "..") return true;
      start = i + 1;
    }
  }
  return false;
}

}  // namespace

ForwardMediaFiles::ForwardMediaFiles(const ForwardOptions& options)
    : ForwardMediaFiles(options, [](int32_t jsSno, const FileListItem& entry) {
        return OfflineFileOps::Instance().CheckMediaExpire(jsSno, entry);
      }) {}

ForwardMediaFiles::ForwardMediaFiles(const ForwardOptions& options, ExpiryCheck check)
    : options_(options), expiryCheck_(std::move(check)) {}

bool ForwardMediaFiles::creatNewPicFile(RecordInfo& item, std::string& content, std::string& html,
                                        bool wrapInImbody) const {
  if (!IsPicture(item.mediatype) || item.fileList.empty()) return false;
  const FileListItem& old = item.fileList.front();
  const std::pair<const std::string*, const char*> required[] = {
      {&old.file_name, "file_name is empty"},
      {&old.file_path, "file_path is empty"},
      {&old.file_real_save_path, "file_real_save_path is empty"},
      {&content, "content is empty"}};
  for (const auto& check : required) {
    if (check.first->empty()) {
      IMLOG(kLogErr, kCreatNewPicFile, check.second);
      return false;
    }
  }
  IMLOG(kLogInf, kCreatNewPicFile, "start: file_name = " + util::MaskForLog(old.file_name));
  const std::string ext = PictureExtension(old.file_name);
  if (!IsPictureExtension(ext)) {
    IMLOG(kLogErr, kCreatNewPicFile, "extension is error, extension = " + ext);
    return false;
  }
  // The store is the client's own database: its paths are used wherever
  // they lie (a picture sent from the user's own disk, a file saved before
  // the folder setting changed), as long as they name an existing file, not
  // a folder, by an absolute path without "." or ".." parts.
  if (!IsUsableStoredFile(old.file_real_save_path)) {
    IMLOG(kLogErr, kCreatNewPicFile,
          "file_real_save_path is not a usable file: " + util::MaskForLog(old.file_real_save_path));
    return false;
  }
  const std::string uuid = util::GenerateUuid();
  if (uuid.empty()) {
    IMLOG(kLogErr, kCreatNewPicFile, "guid is empty");
    return false;
  }
  const std::string newName = uuid + "." + ext;
  FileListItem entry = old;
  entry.file_name = newName;
  entry.file_real_save_name = newName;
  entry.file_path = ReplaceNamePart(old.file_path, newName);
  entry.file_real_save_path = ReplaceNamePart(old.file_real_save_path, newName);
  if (entry.file_path.empty() || entry.file_real_save_path.empty()) {
    IMLOG(kLogErr, kCreatNewPicFile, "file path has no folder part");
    return false;
  }

  IMLOG(kLogDbg, kCreatNewPicFile, "   content = " + content);
  std::string newText;  // the new message text
  std::string newHtml = html;
  std::string newBody;  // the new message body (wrapInImbody)
  if (item.mediatype == 3) {
    newText = xml::XmlEscapeText(BuildMediaToken(entry));
    if (wrapInImbody) newBody = xml::Build(newText, "", 0, false);
  } else {
    IMLOG(kLogDbg, kCreatNewPicFile, "   html = " + html);
    const std::string renamed = replaceFileNameInImgTags(html, old.file_name, newName);
    IMLOG(kLogDbg, kCreatNewPicFile, "newHtml = " + renamed);
    if (!renamed.empty()) newHtml = renamed;
    newText = content;
    if (!ReplaceContentPic(newText, BuildMediaToken(entry))) {
      IMLOG(kLogErr, kCreatNewPicFile, "ReplaceContentPic failed");
    }
    if (wrapInImbody) newBody = xml::Build(xml::UnescapeFiveEntities(newText), newHtml, 0, false);
  }
  const std::string& result = wrapInImbody ? newBody : newText;
  IMLOG(kLogDbg, kCreatNewPicFile, "newContent = " + result);
  if (result.empty()) {
    IMLOG(kLogErr, kCreatNewPicFile, "newContent is empty");
    return false;
  }

  if (!hardLinkOrCopyFileCustom(old.file_real_save_path, entry.file_real_save_path)) {
    IMLOG(kLogErr, kCreatNewPicFile,
          "hardLinkOrCopyFileCustom failed, oldPicRealPath = " +
              util::MaskForLog(old.file_real_save_path) +
              ", newPicRealPath = " + util::MaskForLog(entry.file_real_save_path));
    return false;
  }
  if (old.file_path != old.file_real_save_path && !IsUsableStoredFile(old.file_path)) {
    IMLOG(kLogErr, kCreatNewPicFile,
          "file_path is not a usable file, not linked: " + util::MaskForLog(old.file_path));
  } else if (old.file_path != old.file_real_save_path &&
             !hardLinkOrCopyFileCustom(old.file_path, entry.file_path)) {
    IMLOG(kLogErr, kCreatNewPicFile,
          "hardLinkOrCopyFileCustom failed, oldPicPath = " + util::MaskForLog(old.file_path) +
              ", newPicPath = " + util::MaskForLog(entry.file_path));
  }

  item.fileList.front() = entry;
  item.filelist = FileListText(item.fileList);
  content = newText;
  html = newHtml;
  if (wrapInImbody) item.content = newBody;
  IMLOG(kLogInf, kCreatNewPicFile, "end: file_name = " + util::MaskForLog(newName));
  return true;
}

std::string ForwardMediaFiles::replaceFileNameInImgTags(const std::string& html,
                                                        const std::string& oldName,
                                                        const std::string& newName) {
  const ForwardPictureTag::Span tag = ForwardPictureTag::Find(html);
  if (!tag.found) {
    IMLOG(kLogErr, kReplaceImgTags, "html does not have an img tag, html = " + html);
    return std::string();
  }
  std::string tagText = html.substr(tag.begin, tag.end - tag.begin);
  IMLOG(kLogDbg, kReplaceImgTags, "imgTag = " + tagText);
  if (oldName.empty() || tagText.find(oldName) == std::string::npos) {
    IMLOG(kLogErr, kReplaceImgTags, "srcAttr can not find: " + oldName + ", html = " + html);
    return std::string();
  }
  xml::ReplaceAll(tagText, oldName, newName);
  return html.substr(0, tag.begin) + tagText + html.substr(tag.end);
}

bool ForwardMediaFiles::hardLinkOrCopyFileCustom(const std::string& srcFile,
                                                 const std::string& destFile) {
  IMLOG(kLogInf, kHardLink,
        " srcFile = " + util::MaskForLog(srcFile) + "destFile = " + util::MaskForLog(destFile));
  const int linked = platform::CreateHardLink(srcFile, destFile);
  if (linked == platform::kOk || linked == platform::kErrAlreadyExists ||
      linked == platform::kErrFileExists) {
    IMLOG(kLogInf, kHardLink, "hard link success...");
    return true;
  }
  IMLOG(kLogWar, kHardLink,
        "hard link file failed, ret = " + std::to_string(linked) + ", try to copy...");
  const int copied = platform::CopyFileOverwrite(srcFile, destFile);
  if (copied == platform::kOk) return true;
  IMLOG(kLogErr, kHardLink, "CopyFile failed: " + std::to_string(copied));
  return copied == platform::kErrAlreadyExists || copied == platform::kErrFileExists;
}

bool ForwardMediaFiles::LocalFileExists(const FileListItem& entry, int32_t mediatype) const {
  std::string path = entry.file_path;  // a path found here is not kept
  const bool exists = isExistPath(entry.file_real_save_name, path, mediatype);
  IMLOG(kLogInf, kMediaExpire, std::string("Transmit file isExist: ") + (exists ? "1" : "0"));
  return exists;
}

bool ForwardMediaFiles::mediaExpire(int32_t jsSno, RecordInfo& item, bool checkLocal) const {
  for (const FileListItem& entry : item.fileList) {
    if (item.mediatype == 2 && entry.file_type == "Img") continue;
    if (entry.expire != 0) {
      if (!checkLocal || !canReuploadMedia(item.status, item.mediatype)) {
        IMLOG(kLogInf, kMediaExpire, "local does not isExist");
        return true;
      }
      return !LocalFileExists(entry, item.mediatype);
    }
    if (!isPastMediaRetention(item)) return false;
    const bool expired = expiryCheck_ ? expiryCheck_(jsSno, entry) : true;
    if (expired) {
      for (FileListItem& each : item.fileList) each.expire = 1;
      if (checkLocal) return !LocalFileExists(item.fileList.front(), item.mediatype);
      return true;
    }
  }
  return false;
}

bool ForwardMediaFiles::isPastMediaRetention(const RecordInfo& item, int64_t nowMs) {
  if (item.utcstamp.empty()) return false;
  // The sum saturates: a stamp near the 64-bit maximum (a clock far ahead,
  // a damaged record) lies in the future, never past the retention period.
  const int64_t stamp = StringToInt64(item.utcstamp);
  if (stamp > std::numeric_limits<int64_t>::max() - kMediaRetentionPeriodMs) return false;
  return stamp + kMediaRetentionPeriodMs < nowMs;
}

bool ForwardMediaFiles::isPastMediaRetention(const RecordInfo& item) {
  return isPastMediaRetention(item, platform::NowUnixMillis());
}

bool ForwardMediaFiles::canReuploadMedia(int32_t status, int32_t mediatype) {
  return status == 1 || status == 5 || mediatype == 3 || mediatype == 8;
}

bool ForwardMediaFiles::IsSafeFileName(const std::string& name) {
  return platform::IsValidFileName(name);
}

bool ForwardMediaFiles::JoinFolderAndName(const std::string& folder, const std::string& name,
                                          std::string* out) {
  if (folder.empty()) return false;
  if (!platform::JoinName(folder, name, out)) {
    IMLOG(kLogErr, kIsExistPath, "unsafe file name refused: " + util::MaskForLog(name));
    return false;
  }
  return true;
}

bool ForwardMediaFiles::IsUsableStoredFile(const std::string& path) {
  return !path.empty() && platform::IsAbsolutePath(path) && !HasDotComponent(path) &&
         platform::IsRegularFile(path);
}

bool ForwardMediaFiles::FindPicture(const std::string& fileName, std::string& filePath) const {
  for (const std::string* folder : {&options_.defaultImagePath, &options_.customizeImagePath}) {
    if (folder->empty()) continue;
    for (const char* sub : kPictureSubFolders) {
      std::string subFolder;
      std::string candidate;
      if (!JoinFolderAndName(*folder, sub, &subFolder) ||
          !JoinFolderAndName(subFolder, fileName, &candidate)) {
        return false;
      }
      if (platform::IsRegularFile(candidate)) {
        filePath = candidate;
        return true;
      }
    }
  }
  return false;
}

bool ForwardMediaFiles::FindFile(const std::string& fileName, std::string& filePath) const {
  for (const std::string* folder : {&options_.customizeFilePath, &options_.defaultFilePath}) {
    std::string candidate;
    if (folder->empty()) continue;
    if (!JoinFolderAndName(*folder, fileName, &candidate)) return false;
    if (platform::IsRegularFile(candidate)) {
      filePath = candidate;
      return true;
    }
  }
  return false;
}

bool ForwardMediaFiles::isExistPath(const std::string& fileName, std::string& filePath,
                                    int32_t mediatype) const {
  // The stored path is trusted wherever it lies, but only as an absolute
  // path without "." or ".." parts that names a regular file.
  if (IsUsableStoredFile(filePath)) return true;
  if (!IsSafeFileName(fileName)) {
    IMLOG(kLogErr, kIsExistPath, "unsafe file name refused: " + util::MaskForLog(fileName));
    return false;
  }
  if (IsPicture(mediatype)) {
    if (FindPicture(fileName, filePath)) return true;
    IMLOG(kLogErr, kIsExistPath, "Path not found, name is" + util::MaskForLog(fileName));
    return false;
  }
  return FindFile(fileName, filePath);
}
