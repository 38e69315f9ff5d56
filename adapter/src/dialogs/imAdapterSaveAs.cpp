#include "adapter/src/dialogs/imAdapterSaveAs.h"

#include <string>

#include "adapter/src/service/ImAdapterCmd.h"
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

// The text member `key`, or "" when it is missing or not a text.
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
void ReplyFailure(ImAdapterCmd& cmd, const Json::Value& request, const char* function,
                  const char* reason, const char* description) {
  IMLOG(kLogErr, function, reason);
  Json::Value payload(Json::objectValue);
  payload["reason"] = reason;
  cmd.SendRspToHost(-1, payload, request, description);
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

void RunOpenSaveFileDialog(ImAdapterCmd& cmd, Json::Value& request) {
  OperationTrace trace(kOpenSaveFileDialog);
  const Json::Value* param = FindMember(request, "param");
  if (param == nullptr || !param->isObject()) {
    ReplyFailure(cmd, request, kOpenSaveFileDialog, kParamNotCorrect, "OpenSaveFileDialog");
    return;
  }
  const std::string fileName = TextMember(*param, "fileName");
  if (fileName.empty()) {
    ReplyFailure(cmd, request, kOpenSaveFileDialog, kFileNameEmpty, "OpenSaveFileDialog");
    return;
  }
  const int64_t handle = HandleMember(*param);
  const std::string fileType = TextMember(*param, "fileType");
  const std::string suffix = TextMember(*param, "suffix");
  IMLOG(kLogDbg, kOpenSaveFileDialog,
        "fileName: " + util::MaskForLog(fileName) + " fileType: " + fileType +
            " suffix: " + suffix + " handle: " + std::to_string(handle));

  bool isExceed = false;
  const std::string filePath =
      ApplySuffixRule(SaveFileDialog(handle, fileName, fileType, suffix, &isExceed), suffix);
  IMLOG(kLogInf, kOpenSaveFileDialog,
        "After SaveFileDialog filePath: " + util::MaskForLog(filePath));

  Json::Value payload(Json::objectValue);
  payload["filePath"] = filePath;
  payload["isExceed"] = isExceed;
  cmd.SendRspToHost(0, payload, request, "OpenSaveFileDialog");
}

void RunOpenChoosePathDialog(ImAdapterCmd& cmd, Json::Value& request) {
  OperationTrace trace(kOpenChoosePathDialog);
  const Json::Value* param = FindMember(request, "param");
  if (param == nullptr || !param->isObject()) {
    ReplyFailure(cmd, request, kOpenChoosePathDialog, kParamNotCorrect, "OpenChoosePathDialog");
    return;
  }
  const std::string defaultPath = TextMember(*param, "defaultPath");
  const std::string title = TextMember(*param, "title");
  const int64_t handle = HandleMember(*param);

  int errorCode = -1;
  const std::string savePath = ChoosePathDialog(handle, defaultPath, title, &errorCode);
  const bool isWritable = platform::IsDialogPathWritable(savePath);
  IMLOG(kLogInf, kOpenChoosePathDialog,
        "defaultPath:" + util::MaskForLog(defaultPath) + " After ChoosePathDialog savePath: " +
            util::MaskForLog(savePath) + " errorcode:" + std::to_string(errorCode));

  Json::Value payload(Json::objectValue);
  payload["savePath"] = savePath;
  payload["isWritable"] = isWritable;
  payload["errorCode"] = errorCode;
  cmd.SendRspToHost(0, payload, request, "OpenChoosePathDialog");
}
