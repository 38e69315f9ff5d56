// What a received-files migration needs from outside its own folder walk: the
// message store's answer to "which of these files are received-file messages",
// the volume of a path and the free space of a volume.
//
// The store query is wired once at start-up by the code that owns the store
// requests; the two disk queries default to the platform layer and can be
// replaced only by the unit tests through an internal hook (these functions are
// not exported from the shared library). All functions may be called from any
// thread; the installed functions are called without any lock held.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One received-file message of the store, as the migration needs it.
struct ReceivedFileRecord {
  std::string fileName;  // bare file name inside the received-files folder
  int32_t type = -1;     // the record's type; type 2 may keep a "<name>.png" beside the file
};

class MigrationServices {
 public:
  // Appends to *records the received-file messages whose files carry one of
  // fileNames (at most 5000 names per call). Runs on the migration thread and
  // may block while the store answers; appends nothing when the store is silent.
  using ReceivedFileQuery = std::function<void(const std::vector<std::string>& fileNames,
                                               std::vector<ReceivedFileRecord>* records)>;
  using VolumeQuery = std::function<bool(const std::string& path, std::string* volume)>;
  using FreeSpaceQuery = std::function<bool(const std::string& path, uint64_t* freeBytes)>;
  // Called on the migration thread after each file, with the files handled so far.
  using FileObserver = std::function<void(uint32_t doneCount)>;
  // The points of a migration thread at which the run observer is called.
  enum class RunPoint {
    kWaitsForRunBefore,  // the run before still ends: this one waits for it
    kEnded,              // the run has reported its end; the next one waits until the call returns
  };
  using RunObserver = std::function<void(RunPoint point)>;

  static constexpr size_t kMaxNamesPerQuery = 5000;

  // Installs the store query (an empty function removes it). Without one, the
  // files folder has no known received files and nothing of it is moved.
  static void SetReceivedFileQuery(ReceivedFileQuery query);
  // The query the shipped library installs: the store's received-file
  // records of fileNames, each giving the name its file has in the folder
  // (file_real_save_name, else file_name) and the record's type.
  static void QueryReceivedFilesFromStore(const std::vector<std::string>& fileNames,
                                          std::vector<ReceivedFileRecord>* records);
  // Runs the installed store query; false (and nothing appended) without one.
  static bool QueryReceivedFiles(const std::vector<std::string>& fileNames,
                                 std::vector<ReceivedFileRecord>* records);

  // The volume identity of path (platform::VolumeOf unless a test replaced it).
  static bool VolumeOf(const std::string& path, std::string* volume);
  // Free bytes for the caller on the volume of path (platform::DiskFreeBytes
  // unless a test replaced it).
  static bool DiskFreeBytes(const std::string& path, uint64_t* freeBytes);

  // Run the after-file and run-point observers, when a test installed them.
  static void AfterFile(uint32_t doneCount);
  static void AtRunPoint(RunPoint point);

  // Test hooks. Replace the disk queries (empty functions restore the platform
  // ones) and observe each handled file and run point (empty: none).
  static void SetDiskQueriesForTest(VolumeQuery volume, FreeSpaceQuery freeSpace);
  static void SetFileObserverForTest(FileObserver observer);
  static void SetRunObserverForTest(RunObserver observer);
};
