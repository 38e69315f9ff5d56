#include "adapter/src/migration/fileMigrationWorker.h"

#include <atomic>
#include <cstdio>
#include <set>

#include "adapter/src/migration/MigrationServices.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Mutex.h"
#include "util/Utils.h"

namespace {

const char kCheckRunning[] = "fileMigrationWorker::checkMigFileThreadIsRuning";
const char kSetFinish[] = "fileMigrationWorker::setMigFileThreadFinish";
const char kShutdown[] = "fileMigrationWorker::migrationFileShutdown";
const char kConstruct[] = "fileMigrationWorker::fileMigrationWorker";
const char kRun[] = "fileMigrationWorker::run";
const char kLoad[] = "fileMigrationWorker::loadFileListAndCheckDiskSize";
const char kFileMsg[] = "fileMigrationWorker::getFileMsgTotalSize";
const char kMigrationFile[] = "fileMigrationWorker::MigrationFile";

const char kFilesFolder[] = "FilesPath";
const char kReceiveFiles[] = "/ReceiveFiles";
const char kParamErrorDescription[] = "im_http_migration_files";
constexpr double kBytesPerGb = 1073741824.0;

// The run state: the id of the run that holds it, 0 when none does. Changed
// only under the mutex; read without it by a run between two files.
util::Mutex g_runStateLock;
std::atomic<uint64_t> g_runningId{0};
uint64_t g_lastRunId GUARDED_BY(g_runStateLock) = 0;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start);
  return static_cast<double>(ms.count()) / 1000;
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

// bytes in GB, fixed notation with two decimals ("1.50").
std::string GigabytesText(uint64_t bytes) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / kBytesPerGb);
  return text;
}

// "\" becomes "/", and one trailing "/" goes.
std::string NormalisePath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// The path without a "/ReceiveFiles" that ends it (its first occurrence only).
std::string WithoutReceiveFiles(const std::string& path) {
  const std::string tail = kReceiveFiles;
  std::string::size_type pos = path.find(tail);
  if (pos != std::string::npos && pos + tail.size() == path.size()) return path.substr(0, pos);
  return path;
}

// The regular files directly inside folder, with their sizes: no folder, link,
// FIFO, socket or device (a FIFO would block the move), and no temporary copy
// of an earlier move. Empty, with an error line, when the folder cannot be read.
std::map<std::string, uint64_t> FilesIn(const std::string& folder, const char* function) {
  std::map<std::string, uint64_t> files;
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(folder, &entries)) {
    IMLOG(kLogErr, function,
          "cannot list " + util::MaskForLog(folder) + ": " + platform::LastErrorText());
    return files;
  }
  for (const platform::DirEntry& entry : entries) {
    if (entry.isRegular && !platform::IsTemporaryName(entry.name)) files[entry.name] = entry.size;
  }
  return files;
}

}  // namespace

// ---- run state ---------------------------------------------------------------

bool fileMigrationWorker::checkMigFileThreadIsRuning(uint64_t* runId) {
  util::MutexLock guard(g_runStateLock);
  if (g_runningId.load() == 0) {
    *runId = ++g_lastRunId;
    g_runningId.store(*runId);
    return false;
  }
  IMLOG(kLogErr, kCheckRunning, "migrationFileThread thread is runing!");
  return true;
}

void fileMigrationWorker::setMigFileThreadFinish(uint64_t runId) {
  util::MutexLock guard(g_runStateLock);
  if (g_runningId.load() == runId) g_runningId.store(0);
  IMLOG(kLogInf, kSetFinish, "migrationFileThread finish");
}

void fileMigrationWorker::migrationFileShutdown() {
  util::MutexLock guard(g_runStateLock);
  if (g_runningId.load() == 0) {
    IMLOG(kLogInf, kShutdown, "migrationFileThread is not runing");
    return;
  }
  g_runningId.store(0);
  IMLOG(kLogInf, kShutdown, "migrationFileShutdown");
}

bool fileMigrationWorker::IsRunActive(uint64_t runId) { return g_runningId.load() == runId; }

// ---- request and plan --------------------------------------------------------

fileMigrationWorker::fileMigrationWorker(const MigrationRequest& request, HostChannel& channel,
                                         uint64_t runId)
    : filesFolderList_{kFilesFolder},
      pictureFolderList_{"Audio",       "botAvatar", "FormImage", "headImage", "originalImgfiles",
                         "qrCodeImage", "ScreenShot"},
      channel_(channel),
      envelope_(request.envelope),
      runId_(runId) {
  if (!CheckParams(request)) return;
  PlanFolders(request);
}

void fileMigrationWorker::FailParams(const char* text) {
  IMLOG(kLogErr, kConstruct, text);
  EndClaim();
  channel_.SendResultToHost(1, envelope_, kParamErrorDescription);
  initOk_ = false;
}

bool fileMigrationWorker::CheckParams(const MigrationRequest& request) {
  if (!request.paramIsObject) {
    FailParams("params is not boject!");
    return false;
  }
  if (!request.originReceiveFilesPath) {
    FailParams("originReceiveFilesPath is not string!");
    return false;
  }
  if (!request.destinationReceiveFilesPath) {
    FailParams("destinationReceiveFilesPath is not string!");
    return false;
  }
  if (request.displayAccount) displayAccount_ = *request.displayAccount;
  if (!request.account) {
    FailParams("account is not string!");
    return false;
  }
  if (!request.migrationType) {
    FailParams("migrationType is not int!");
    return false;
  }
  return true;
}

void fileMigrationWorker::PlanFolders(const MigrationRequest& request) {
  migrationType_ = *request.migrationType == 0 ? 0 : 1;
  account_ = *request.account;
  originPath_ = NormalisePath(*request.originReceiveFilesPath);
  destinationPath_ = NormalisePath(*request.destinationReceiveFilesPath);
  IMLOG(kLogInf, kConstruct,
        std::string("migrationType = ") + (migrationType_ == 0 ? "picture" : "files"));
  if (migrationType_ == 0) {
    migrationList_ = pictureFolderList_;
    originPath_ = WithoutReceiveFiles(originPath_);
    destinationPath_ = WithoutReceiveFiles(destinationPath_);
    for (const std::string& name : migrationList_) {
      originFolders_[name] = originPath_ + kReceiveFiles + "/" + name;
      destinationFolders_[name] = destinationPath_ + kReceiveFiles + "/" + name;
    }
    IMLOG(kLogInf, kConstruct,
          "NoReceiveFiles originReceiveFilesPath = " + util::MaskForLog(originPath_));
    IMLOG(kLogInf, kConstruct,
          "NoReceiveFiles destinationReceiveFilesPath = " + util::MaskForLog(destinationPath_));
    return;
  }
  migrationList_ = filesFolderList_;
  originFolders_[kFilesFolder] = originPath_;
  destinationFolders_[kFilesFolder] = destinationPath_;
  IMLOG(kLogInf, kConstruct, "originReceiveFilesPath = " + util::MaskForLog(originPath_));
  IMLOG(kLogInf, kConstruct, "destinationReceiveFilesPath = " + util::MaskForLog(destinationPath_));
}

bool fileMigrationWorker::loadFileListAndCheckDiskSize() {
  std::string destinationVolume;
  if (!MigrationServices::VolumeOf(destinationPath_, &destinationVolume)) {
    IMLOG(kLogErr, kLoad,
          "destinationReceiveFilesPath error : " + util::MaskForLog(destinationPath_));
    return false;
  }
  std::string originVolume;
  if (!MigrationServices::VolumeOf(originPath_, &originVolume)) {
    IMLOG(kLogErr, kLoad, "originReceiveFilesPath error : " + util::MaskForLog(originPath_));
    return false;
  }
  for (const std::string& name : migrationList_) {
    const std::string& folder = originFolders_[name];
    IMLOG(kLogInf, kLoad, "loading path: " + util::MaskForLog(folder));
    originTotalSize_ += ListFolderFiles(name, folder);
  }
  IMLOG(kLogInf, kLoad, "originTotalSize = " + std::to_string(originTotalSize_));
  return CheckDiskSize(destinationVolume, originVolume);
}

uint64_t fileMigrationWorker::ListFolderFiles(const std::string& folderName,
                                              const std::string& folder) {
  const Clock::time_point start = Clock::now();
  std::vector<std::string>& names = folderFiles_[folderName];
  uint32_t count = 0;
  uint64_t bytes = 0;
  if (folderName == kFilesFolder) {
    bytes = getFileMsgTotalSize(folder, &names, &count);
  } else {
    for (const auto& file : FilesIn(folder, kLoad)) {
      names.push_back(file.first);
      ++count;
      bytes += file.second;
    }
  }
  totalCount_ += count;
  IMLOG(kLogInf, kLoad,
        "files count = " + std::to_string(count) + ", size = " + std::to_string(bytes) + "b" +
            " take : " + SecondsText(SecondsSince(start)) + "s");
  return bytes;
}

bool fileMigrationWorker::CheckDiskSize(const std::string& destinationVolume,
                                        const std::string& originVolume) {
  if (destinationVolume == originVolume) {
    IMLOG(kLogInf, kLoad, "Same disk");
    return true;
  }
  if (!MigrationServices::DiskFreeBytes(destinationPath_, &freeSize_)) {
    freeSize_ = 0;
    IMLOG(kLogErr, kLoad, "getDiskFreeSize error");
    return false;
  }
  IMLOG(kLogInf, kLoad, "freeSize = " + std::to_string(freeSize_));
  const uint64_t required = originTotalSize_ + kDiskMargin;
  if (freeSize_ >= required) return true;
  IMLOG(kLogErr, kLoad, "disk size not enough : " + std::to_string(required - freeSize_));
  IMLOG(kLogErr, kLoad, "disk name :" + util::MaskForLog(destinationPath_));
  return false;
}

uint64_t fileMigrationWorker::getFileMsgTotalSize(const std::string& folder,
                                                  std::vector<std::string>* fileNames,
                                                  uint32_t* count) {
  IMLOG(kLogInf, kFileMsg, "getFileMsgTotalSize start");
  const std::map<std::string, uint64_t> present = FilesIn(folder, kFileMsg);
  IMLOG(kLogInf, kFileMsg, "oriFileNameList size = " + std::to_string(present.size()));

  std::vector<ReceivedFileRecord> records;
  std::vector<std::string> batch;
  for (auto it = present.begin(); it != present.end();) {
    batch.clear();
    for (; it != present.end() && batch.size() < MigrationServices::kMaxNamesPerQuery; ++it) {
      batch.push_back(it->first);
    }
    std::vector<ReceivedFileRecord> found;
    MigrationServices::QueryReceivedFiles(batch, &found);
    IMLOG(kLogInf, kFileMsg, "get tempList size = " + std::to_string(found.size()));
    records.insert(records.end(), found.begin(), found.end());
  }
  IMLOG(kLogInf, kFileMsg, "queryFileNameList size = " + std::to_string(records.size()));

  // Only bare names of files that are really in the folder are taken, each once:
  // the store may name a file twice or a file that is gone.
  std::set<std::string> taken;
  uint64_t bytes = 0;
  size_t unknown = 0;
  auto take = [&](const std::string& name) {
    auto file = present.find(name);
    if (file == present.end()) return false;
    if (taken.insert(name).second) {
      fileNames->push_back(name);
      bytes += file->second;
      ++*count;
    }
    return true;
  };
  for (const ReceivedFileRecord& record : records) {
    if (!take(record.fileName)) ++unknown;
    if (record.type == 2) take(record.fileName + ".png");
  }
  if (unknown > 0) {
    IMLOG(kLogWar, kFileMsg, "records without a file in the folder: " + std::to_string(unknown));
  }
  IMLOG(kLogInf, kFileMsg, "total fileNameList.size = " + std::to_string(taken.size()));
  return bytes;
}

// ---- the run -----------------------------------------------------------------

bool fileMigrationWorker::run() {
  IMLOG(kLogInf, kRun, "run start");
  const Clock::time_point start = Clock::now();
  if (!initOk_) {
    IMLOG(kLogErr, kRun, "init migration failed");
    return false;
  }
  if (originPath_ == destinationPath_) {
    SendFinish(/*withErrorCount=*/false);
    IMLOG(kLogInf, kRun, "same path,migration finish");
    return true;
  }
  if (!loadFileListAndCheckDiskSize()) {
    SendFailed();
    return false;
  }
  IMLOG(kLogInf, kRun,
        "loadFileListAndCheckDiskSize take : " + SecondsText(SecondsSince(start)) + "s");
  for (const std::string& name : migrationList_) {
    if (!MigrateFolder(name)) {
      IMLOG(kLogInf, kRun,
            "migration stopped, moved " + std::to_string(doneCount_) + " of " +
                std::to_string(totalCount_) + ", errors " + std::to_string(errorCount_));
      SendFinish(/*withErrorCount=*/true);
      return false;
    }
  }
  SendFinish(/*withErrorCount=*/true);
  IMLOG(kLogInf, kRun, "all finish, all take : " + SecondsText(SecondsSince(start)) + "s");
  return true;
}

bool fileMigrationWorker::MigrateFolder(const std::string& folderName) {
  const Clock::time_point start = Clock::now();
  const std::vector<std::string>& files = folderFiles_[folderName];
  const std::string& destination = destinationFolders_[folderName];
  IMLOG(kLogInf, kRun,
        "migration [" + folderName + "] start," +
            " file list size = " + std::to_string(files.size()) +
            " ori = " + util::MaskForLog(originFolders_[folderName]) +
            ", des = " + util::MaskForLog(destination));
  if (!platform::IsDirectory(destination) && !platform::MakeDirectories(destination)) {
    IMLOG(kLogErr, kRun,
          "cannot create " + util::MaskForLog(destination) + ": " + platform::LastErrorText());
  }
  RemoveStaleTemporaries(destination);
  uint32_t count = 0;
  for (const std::string& file : files) {
    if (!IsRunActive(runId_)) return false;
    MigrationFile(folderName, file);
    ++count;
  }
  IMLOG(kLogInf, kRun,
        "migration [" + folderName + "] end, total: " + std::to_string(count) +
            ", take : " + SecondsText(SecondsSince(start)) + "s");
  return true;
}

void fileMigrationWorker::RemoveStaleTemporaries(const std::string& folder) {
  const int removed = platform::RemoveStaleTemporaries(folder);
  if (removed > 0) {
    IMLOG(kLogWar, kRun,
          "removed " + std::to_string(removed) + " temporary copies an interrupted move left in " +
              util::MaskForLog(folder));
  }
}

void fileMigrationWorker::MigrationFile(const std::string& folderName,
                                        const std::string& fileName) {
  std::string source;
  std::string destination;
  // Names come from the folder's own listing; the name rule only guards the
  // join, and a name it refuses fails as an invalid name.
  int result = platform::kErrInvalidName;
  if (platform::JoinName(originFolders_[folderName], fileName, &source) &&
      platform::JoinName(destinationFolders_[folderName], fileName, &destination)) {
    result = platform::MoveListedFileNoReplace(source, destination);
  }
  if (result == platform::kErrFileExists || result == platform::kErrAlreadyExists) {
    IMLOG(kLogWar, kMigrationFile,
          "destination exists, kept at origin: " + util::MaskForLog(fileName));
  } else if (result != platform::kOk) {
    const std::string why = platform::LastErrorText();
    ++errorCount_;
    IMLOG(kLogErr, kMigrationFile,
          "move file failed, ret = " + std::to_string(result) + ", " + why + ", file " +
              util::MaskForLog(fileName));
  }
  progressNotify(fileName, doneCount_, totalCount_, result, "move");
  ++doneCount_;
  MigrationServices::AfterFile(doneCount_);
}

void fileMigrationWorker::progressNotify(const std::string& fileName, uint32_t curCount,
                                         uint32_t totalCount, int32_t result,
                                         const std::string& errorType) {
  if (totalCount == 0) return;
  // The division first, then the scaling, then truncation: 29 of 100 gives 28.
  const double ratio = static_cast<double>(curCount) / static_cast<double>(totalCount);
  const int32_t percent = static_cast<int32_t>(ratio * 100);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  Json::Value param(Json::objectValue);
  param["notifyType"] = "progressNotify";
  param["fileName"] = fileName;
  param["curCount"] = curCount;
  param["totalCount"] = totalCount;
  param["percent"] = std::to_string(percent);
  param["result"] = result;
  param["errorType"] = errorType;
  channel_.SendMigrationProgressNotify(param);
}

void fileMigrationWorker::EndClaim() {
  // Given back before the host hears the end, so that a command 4 sent on the
  // "finish" finds no run in progress. A new run does not overlap this one
  // all the same: the migration thread lets runs go one after the other.
  setMigFileThreadFinish(runId_);
}

void fileMigrationWorker::SendFinish(bool withErrorCount) {
  EndClaim();
  Json::Value param(Json::objectValue);
  param["notifyType"] = "statusNotify";
  param["status"] = "finish";
  if (withErrorCount) param["errorCount"] = errorCount_;
  channel_.SendMigrationProgressNotify(param);
}

void fileMigrationWorker::SendFailed() {
  EndClaim();
  Json::Value param(Json::objectValue);
  param["notifyType"] = "statusNotify";
  param["status"] = "failed";
  param["originTotalSize"] = GigabytesText(originTotalSize_);
  param["freeSize"] = GigabytesText(freeSize_);
  channel_.SendMigrationProgressNotify(param);
}
