#include "adapter/src/dialogs/imAdapterSaveAs.h"

#include <string>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/OperationTrace.h"
#include "log/AdapterLog.h"
#include "platform/Dialogs.h"
#include "util/Utils.h"

namespace {

const char kOpenSaveFileDialog[] = "ImAdapterCmd::OpenSaveFileDialog";
const char kOpenChoosePathDialog[] = "ImAdapterCmd::OpenChoosePathDialog";
const char kSaveFileDialog[] = "SaveFileDialog";
const char kChoosePathDialog[] = "ChoosePathDialog";

const char kParamNotCorrect[] = "param is not correct!";
const char kFileNameEmpty[] = "fileName is empty!";
const char kPathExceedsMaxPath[] = "Selected path exceed MAX_PATH";

// The owner window: "handle" when it is an integer, else 0 (no owner). The
// value is kept as the handle's 64 bits, so an integer above the signed range
// (a sign-extended handle written unsigned) is the same handle as its signed
// form; the dialog layer decides what fits a window handle.
int64_t HandleMember(const Json::Value& object) {
  const Json::Value* member = FindMember(object, "handle");
  if (member == nullptr) return 0;
  if (member->isInt64()) return member->asInt64();
  if (member->isUInt64()) return static_cast<int64_t>(member->asUInt64());
  return 0;
}

// Logs reason and replies result −1 with {"reason": reason}.
void ReplyFailure(HostChannel& channel, const RequestEnvelope& request, const char* function,
                  const char* reason, const char* description) {
  IMLOG(kLogErr, function, reason);
  Json::Value payload(Json::objectValue);
  payload["reason"] = reason;
  channel.SendRspToHost(-1, payload, request, description);
}

// The chosen path with "." + suffix appended when the path holds no "."
// anywhere (a "." in a folder name counts).
std::string ApplySuffixRule(const std::string& path, const std::string& suffix) {
  if (path.empty() || suffix.empty() || path.find('.') != std::string::npos) return path;
  const std::string extension = "." + suffix;
  IMLOG(kLogInf, kOpenSaveFileDialog, "add suff: " + extension);
  return path + extension;
}

bool FitsPathBuffer(const std::string& path) {
  return platform::Utf16Units(path) <= platform::kDialogMaxPathUnits;
}

}  // namespace

std::string SaveFileDialog(int64_t owner, const std::string& fileName, const std::string& fileType,
                           const std::string& suffix, bool* isExceed) {
  platform::SaveFileDialogOptions options;
  options.owner = owner;
  options.fileName = fileName;
  options.fileType = fileType;
  options.suffix = suffix;
  platform::DialogOutcome outcome = platform::ShowSaveFileDialog(options);
  if (outcome.status == platform::DialogStatus::kChosen && !FitsPathBuffer(outcome.path)) {
    outcome.status = platform::DialogStatus::kPathTooLong;
    outcome.errorCode = platform::kDialogErrBufferTooSmall;
  }
  if (outcome.status == platform::DialogStatus::kChosen) return outcome.path;

  if (outcome.status == platform::DialogStatus::kFailed) {
    IMLOG(kLogErr, kSaveFileDialog, "save dialog could not be shown: " + outcome.detail);
  }
  if (outcome.status == platform::DialogStatus::kPathTooLong) {
    *isExceed = true;
    IMLOG(kLogErr, kSaveFileDialog, kPathExceedsMaxPath);
  }
  IMLOG(kLogErr, kSaveFileDialog,
        "GetSaveFileNameW error code: " + std::to_string(outcome.errorCode));
  return std::string();
}

std::string ChoosePathDialog(int64_t owner, const std::string& defaultPath,
                             const std::string& title, int* errorCode) {
  platform::ChooseFolderDialogOptions options;
  options.owner = owner;
  options.defaultPath = defaultPath;
  options.title = title;
  platform::DialogOutcome outcome = platform::ShowChooseFolderDialog(options);
  if (outcome.status == platform::DialogStatus::kChosen && !FitsPathBuffer(outcome.path)) {
    outcome.status = platform::DialogStatus::kPathTooLong;
  }
  switch (outcome.status) {
    case platform::DialogStatus::kChosen:
      if (!platform::DialogPathExists(outcome.path)) *errorCode = 1;
      return outcome.path;
    case platform::DialogStatus::kPathTooLong:
      // A path that does not fit cannot be used: reported like a missing one.
      IMLOG(kLogErr, kChoosePathDialog, kPathExceedsMaxPath);
      *errorCode = 1;
      return std::string();
    case platform::DialogStatus::kFailed:
      IMLOG(kLogErr, kChoosePathDialog, "folder dialog could not be shown: " + outcome.detail);
      break;
    case platform::DialogStatus::kCancelled:
      break;
  }
  *errorCode = 0;
  return std::string();
}

SaveFileDialogRequest SaveFileDialogRequest::Read(const Json::Value& request) {
  SaveFileDialogRequest read;
  read.envelope = RequestEnvelope::Read(request);
  const Json::Value* param = FindMember(request, "param");
  if (param == nullptr || !param->isObject()) return read;
  read.paramIsObject = true;
  read.fileName = TextMember(*param, "fileName");
  read.fileType = TextMember(*param, "fileType");
  read.suffix = TextMember(*param, "suffix");
  read.handle = HandleMember(*param);
  return read;
}

ChoosePathDialogRequest ChoosePathDialogRequest::Read(const Json::Value& request) {
  ChoosePathDialogRequest read;
  read.envelope = RequestEnvelope::Read(request);
  const Json::Value* param = FindMember(request, "param");
  if (param == nullptr || !param->isObject()) return read;
  read.paramIsObject = true;
  read.defaultPath = TextMember(*param, "defaultPath");
  read.title = TextMember(*param, "title");
  read.handle = HandleMember(*param);
  return read;
}

void RunOpenSaveFileDialog(HostChannel& channel, const Json::Value& request) {
  OperationTrace trace(kOpenSaveFileDialog);
  OpenSaveFileDialog(channel, SaveFileDialogRequest::Read(request));
}

void OpenSaveFileDialog(HostChannel& channel, const SaveFileDialogRequest& request) {
  if (!request.paramIsObject) {
    ReplyFailure(channel, request.envelope, kOpenSaveFileDialog, kParamNotCorrect,
                 "OpenSaveFileDialog");
    return;
  }
  if (request.fileName.empty()) {
    ReplyFailure(channel, request.envelope, kOpenSaveFileDialog, kFileNameEmpty,
                 "OpenSaveFileDialog");
    return;
  }
  IMLOG(kLogDbg, kOpenSaveFileDialog,
        "fileName: " + util::MaskForLog(request.fileName) + " fileType: " + request.fileType +
            " suffix: " + request.suffix + " handle: " + std::to_string(request.handle));

  bool isExceed = false;
  const std::string filePath = ApplySuffixRule(
      SaveFileDialog(request.handle, request.fileName, request.fileType, request.suffix, &isExceed),
      request.suffix);
  IMLOG(kLogInf, kOpenSaveFileDialog,
        "After SaveFileDialog filePath: " + util::MaskForLog(filePath));

  Json::Value payload(Json::objectValue);
  payload["filePath"] = filePath;
  payload["isExceed"] = isExceed;
  channel.SendRspToHost(0, payload, request.envelope, "OpenSaveFileDialog");
}

void RunOpenChoosePathDialog(HostChannel& channel, const Json::Value& request) {
  OperationTrace trace(kOpenChoosePathDialog);
  OpenChoosePathDialog(channel, ChoosePathDialogRequest::Read(request));
}

void OpenChoosePathDialog(HostChannel& channel, const ChoosePathDialogRequest& request) {
  if (!request.paramIsObject) {
    ReplyFailure(channel, request.envelope, kOpenChoosePathDialog, kParamNotCorrect,
                 "OpenChoosePathDialog");
    return;
  }
  int errorCode = -1;
  const std::string savePath =
      ChoosePathDialog(request.handle, request.defaultPath, request.title, &errorCode);
  const bool isWritable = platform::IsDialogPathWritable(savePath);
  IMLOG(kLogInf, kOpenChoosePathDialog,
        "defaultPath:" + util::MaskForLog(request.defaultPath) +
            " After ChoosePathDialog savePath: " + util::MaskForLog(savePath) +
            " errorcode:" + std::to_string(errorCode));

  Json::Value payload(Json::objectValue);
  payload["savePath"] = savePath;
  payload["isWritable"] = isWritable;
  payload["errorCode"] = errorCode;
  channel.SendRspToHost(0, payload, request.envelope, "OpenChoosePathDialog");
}
