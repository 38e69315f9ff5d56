#include "adapter/src/migration/MigrationServices.h"

#include <utility>

#include "adapter/src/content/RecordInfo.h"
#include "adapter/src/bridge/StoreQueries.h"
#include "log/AdapterLog.h"
#include "platform/Platform.h"
#include "util/Mutex.h"

namespace {

struct Installed {
  util::Mutex lock;
  MigrationServices::ReceivedFileQuery receivedFiles GUARDED_BY(lock);
  MigrationServices::VolumeQuery volume GUARDED_BY(lock);
  MigrationServices::FreeSpaceQuery freeSpace GUARDED_BY(lock);
  MigrationServices::FileObserver afterFile GUARDED_BY(lock);
  MigrationServices::RunObserver atRunPoint GUARDED_BY(lock);
};

Installed& Services() {
  // Never destroyed: a migration thread may still ask while the process ends.
  static Installed* const installed = new Installed();
  return *installed;
}

// A copy of one installed function, taken under the lock so that it can be
// called without it.
template <typename Fn>
Fn Snapshot(Fn Installed::*member) {
  Installed& services = Services();
  util::MutexLock guard(services.lock);
  return services.*member;
}

// Replaces one installed function under the lock.
template <typename Fn>
void Install(Fn Installed::*member, Fn function) {
  Installed& services = Services();
  util::MutexLock guard(services.lock);
  services.*member = std::move(function);
}

}  // namespace

void MigrationServices::SetReceivedFileQuery(ReceivedFileQuery query) {
  Install(&Installed::receivedFiles, std::move(query));
}

void MigrationServices::QueryReceivedFilesFromStore(const std::vector<std::string>& fileNames,
                                                    std::vector<ReceivedFileRecord>* records) {
  std::vector<RecordInfo> found;
  StoreQueries::QueryHistoryRecordByReceiveFileMsg(fileNames, &found);
  for (const RecordInfo& record : found) {
    for (const FileListItem& file : record.fileList) {
      const std::string& name =
          file.file_real_save_name.empty() ? file.file_name : file.file_real_save_name;
      if (!name.empty()) records->push_back({name, record.mediatype});
    }
  }
}

bool MigrationServices::QueryReceivedFiles(const std::vector<std::string>& fileNames,
                                           std::vector<ReceivedFileRecord>* records) {
  ReceivedFileQuery query = Snapshot(&Installed::receivedFiles);
  if (!query) {
    IMLOG(kLogErr, "MigrationServices::QueryReceivedFiles", "no received-file store query");
    return false;
  }
  query(fileNames, records);
  return true;
}

bool MigrationServices::VolumeOf(const std::string& path, std::string* volume) {
  VolumeQuery query = Snapshot(&Installed::volume);
  return query ? query(path, volume) : platform::VolumeOf(path, volume);
}

bool MigrationServices::DiskFreeBytes(const std::string& path, uint64_t* freeBytes) {
  FreeSpaceQuery query = Snapshot(&Installed::freeSpace);
  return query ? query(path, freeBytes) : platform::DiskFreeBytes(path, freeBytes);
}

void MigrationServices::SetDiskQueriesForTest(VolumeQuery volume, FreeSpaceQuery freeSpace) {
  Install(&Installed::volume, std::move(volume));
  Install(&Installed::freeSpace, std::move(freeSpace));
}

void MigrationServices::AfterFile(uint32_t doneCount) {
  FileObserver observer = Snapshot(&Installed::afterFile);
  if (observer) observer(doneCount);
}

void MigrationServices::SetFileObserverForTest(FileObserver observer) {
  Install(&Installed::afterFile, std::move(observer));
}

void MigrationServices::AtRunPoint(RunPoint point) {
  RunObserver observer = Snapshot(&Installed::atRunPoint);
  if (observer) observer(point);
}

void MigrationServices::SetRunObserverForTest(RunObserver observer) {
  Install(&Installed::atRunPoint, std::move(observer));
}
