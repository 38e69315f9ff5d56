// LogOneImpl: the file logger behind LogOne.
//
// One logger writes one file (folder + file name, set by SetFilePath), opens
// it lazily before the first line, starts every newly opened file position
// with a "Logone(v3.0) Begin Time:..." header, flushes every line, and
// rotates the file when it reaches its maximum size: name.ext becomes
// name_1.ext, name_1.ext becomes name_2.ext and so on, and the copy numbered
// with the backup count is deleted.
//
// Ownership: the logger owns its file and its preallocated 16 KB line buffer.
// Threads: any; every operation runs under the one logging lock (lock_,
// LoggingState::Lock()).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "log/LogOne.h"
#include "util/Mutex.h"

class LogOneImpl : public LogOne {
 public:
  static constexpr std::size_t kLineBufferSize = 16384;
  static constexpr std::size_t kTraceBufferSize = 260;
  static constexpr int64_t kDefaultMaxSize = 0x500000;
  static constexpr std::size_t kMaxLabelLength = 255;

  LogOneImpl();
  ~LogOneImpl() override;
  LogOneImpl(const LogOneImpl&) = delete;
  LogOneImpl& operator=(const LogOneImpl&) = delete;

  void WriteLineW(const char* tag, int level, const char* function, const char* sourceFile,
                  int line, const wchar_t* format, ...) override;
  void WriteLine(const char* tag, int level, const char* function, const char* sourceFile, int line,
                 const char* format, ...) override;
  void WriteLineWV(const char* tag, int level, const char* function, const char* sourceFile,
                   int line, const wchar_t* format, va_list args) override;
  void WriteLineV(const char* tag, int level, const char* function, const char* sourceFile,
                  int line, const char* format, va_list args) override;
  void WriteTrace(const char* tag, const char* function, const char* sourceFile, int line,
                  bool enter) override;
  bool CloseFile() override;
  void SetFilePath(const std::string& path) override;
  bool OpenFile() override;
  bool DatePath(std::string* path) override;
  void Stop() override;
  void Resume() override;
  void SetMaxSizeKb(int32_t kilobytes) override;
  void SetBackupCount(int32_t count) override;
  void SetThreshold(int32_t level) override;
  void SetLabel(const std::string& label) override;
  void SetOutputMode(uint32_t bits) override;
  int32_t Threshold() const override;

  // Folder (ending with the separator, or empty) + file name now in use.
  std::string CurrentFilePath() const;

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const;
  };
  using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

  // Opens the file when it is closed, else rotates it when it is full.
  // True when lines can go to the file.
  bool PrepareFileLocked() REQUIRES(lock_);
  void RotateIfFullLocked() REQUIRES(lock_);
  // Renames the numbered copies and starts a new file; false when the current
  // file could not be moved aside (it is then reopened as it is).
  bool RotateLocked() REQUIRES(lock_);
  void RenameCopiesLocked(const std::string& base, const std::string& extension) REQUIRES(lock_);
  bool OpenAtLocked(const std::string& path) REQUIRES(lock_);
  void WriteHeaderLocked() REQUIRES(lock_);
  // Writes text to the enabled outputs and flushes the file.
  void EmitLocked(const char* text, std::size_t length) REQUIRES(lock_);
  std::string PathOfLocked(const std::string& name) const REQUIRES(lock_);
  int64_t MeasureFileSizeLocked() REQUIRES(lock_);
  void ResetRotationCheckLocked() REQUIRES(lock_);

  util::RecursiveMutex& lock_;  // the process-wide logging lock
  bool stopped_ GUARDED_BY(lock_) = false;
  bool needsOpen_ GUARDED_BY(lock_) = true;
  std::string directory_ GUARDED_BY(lock_);
  std::string fileName_ GUARDED_BY(lock_);
  FileHandle file_ GUARDED_BY(lock_);
  std::atomic<int32_t> threshold_{3};  // read without the lock by Threshold()
  int64_t maxSize_ GUARDED_BY(lock_) = kDefaultMaxSize;
  int32_t backupCount_ GUARDED_BY(lock_) = 1;
  std::string label_ GUARDED_BY(lock_);
  uint32_t outputMode_ GUARDED_BY(lock_) = kOutputFile;
  std::unique_ptr<char[]> lineBuffer_ GUARDED_BY(lock_);
  std::unique_ptr<wchar_t[]> wideBuffer_ GUARDED_BY(lock_);  // made on the first wide line
  // Bytes in the open file as counted by this logger; the real size is read
  // only once the count reaches nextSizeCheck_, near the maximum size.
  int64_t fileSize_ GUARDED_BY(lock_) = 0;
  int64_t nextSizeCheck_ GUARDED_BY(lock_) = 0;
};
