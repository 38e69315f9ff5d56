// One migration of the received-files folder: checks the host's request, plans
// which folders and files move and whether the destination has room, moves
// the files one by one and tells the host how far it has come.
//
// A worker is built and run on the migration thread that command 4 starts; it
// is not shared. The static run-state functions keep the one process-wide
// "migration running" state: one run at a time, and command 5 (on the service
// thread) stops a run before its next file.
//
// Host messages: a parameter error is answered with result 1 (and nothing
// else); every other outcome is reported by "MIGRATIONFILE_E_EVT_PROG_RESULT"
// notifications (progress at most once per whole percent, then one status).
// Files are never replaced at the destination and never lost: each file is
// whole at its origin or at its destination at every moment. Only regular
// files are listed and moved; the temporary copies that an interrupted run
// left in a destination folder are removed when the next run reaches it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/migration/MigrationRequest.h"

class fileMigrationWorker {
 public:
  // Free space the destination must keep beyond the files moved onto it.
  static constexpr uint64_t kDiskMargin = 209715200;  // 200 MB

  // ---- process-wide run state ---------------------------------------------
  // Claims the run state for a new run: false with *runId set when the caller
  // may run; true (and a log line) when a run is already in progress.
  static bool checkMigFileThreadIsRuning(uint64_t* runId);
  // Ends run runId's claim. A claim already given up by a stop, or taken by a
  // newer run since, is left alone.
  static void setMigFileThreadFinish(uint64_t runId);
  // Stops the current run before its next file; does not wait for it.
  static void migrationFileShutdown();
  // True while run runId holds the claim (neither stopped nor finished).
  static bool IsRunActive(uint64_t runId);

  // Checks the request (command 4's, as read where it entered) and plans the
  // folders. A failed check answers the host with result 1 and leaves the
  // worker unable to run. channel must outlive the worker; progress and the
  // outcome reach the host through it.
  fileMigrationWorker(const MigrationRequest& request, HostChannel& channel, uint64_t runId);
  fileMigrationWorker(const fileMigrationWorker&) = delete;
  fileMigrationWorker& operator=(const fileMigrationWorker&) = delete;

  // Runs the migration to its end, or until stopped. True when every listed
  // file was handled (moves that failed are counted in "errorCount"); false
  // when the request was invalid, the plan failed or the run was stopped.
  bool run();

  // Lists the files to move and checks the destination's free space; false
  // (with a log line) when a path has no volume, the free space cannot be
  // read or is too small.
  bool loadFileListAndCheckDiskSize();

  // The received files of the files folder: those files directly inside folder
  // that the message store knows as received-file messages (plus the ".png"
  // kept beside a type-2 record's file). Appends their names to *fileNames,
  // raises *count by their number and returns their total bytes.
  uint64_t getFileMsgTotalSize(const std::string& folder, std::vector<std::string>* fileNames,
                               uint32_t* count);

  // Moves one file of folder folderName and reports progress.
  void MigrationFile(const std::string& folderName, const std::string& fileName);

  // Sends a progress notification when the whole percentage of done/total has
  // changed since the last one.
  void progressNotify(const std::string& fileName, uint32_t curCount, uint32_t totalCount,
                      int32_t result, const std::string& errorType);

  uint32_t TotalCount() const { return totalCount_; }
  uint64_t OriginTotalSize() const { return originTotalSize_; }
  int32_t ErrorCount() const { return errorCount_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool CheckParams(const MigrationRequest& request);
  void FailParams(const char* text);
  void PlanFolders(const MigrationRequest& request);
  uint64_t ListFolderFiles(const std::string& folderName, const std::string& folder);
  bool CheckDiskSize(const std::string& destinationVolume, const std::string& originVolume);
  // Removes the temporary copies an interrupted run left in folder (logged).
  void RemoveStaleTemporaries(const std::string& folder);
  // Moves the files of one folder; false when the run was stopped on the way.
  bool MigrateFolder(const std::string& folderName);
  // Ends this run's claim on the run state (before its last message to the host).
  void EndClaim();
  void SendFinish(bool withErrorCount);
  void SendFailed();

  std::map<std::string, std::string> originFolders_;
  std::map<std::string, std::string> destinationFolders_;
  std::map<std::string, std::vector<std::string>> folderFiles_;
  uint32_t totalCount_ = 0;
  uint32_t doneCount_ = 0;
  uint64_t originTotalSize_ = 0;
  uint64_t freeSize_ = 0;
  const std::vector<std::string> filesFolderList_;
  const std::vector<std::string> pictureFolderList_;
  std::vector<std::string> migrationList_;
  HostChannel& channel_;
  const RequestEnvelope envelope_;
  std::string originPath_;
  std::string destinationPath_;
  std::string displayAccount_;
  std::string account_;
  int migrationType_ = 1;
  bool initOk_ = true;
  int32_t lastPercent_ = 0;
  int32_t errorCount_ = 0;
  const uint64_t runId_;
};
