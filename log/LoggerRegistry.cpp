#include "log/LoggerRegistry.h"

#include <algorithm>

#include "log/LogClock.h"
#include "log/LogOneImpl.h"
#include "log/LogPath.h"
#include "log/LoggingState.h"
#include "platform/Platform.h"

namespace {

using Guard = util::RecursiveMutexLock;

// Ends logging when the library is unloaded (static destruction).
struct LoggingLifetime {
  ~LoggingLifetime() { LoggerRegistry::EndLogging(); }
};
LoggingLifetime g_loggingLifetime;

}  // namespace

LoggerRegistry& LoggerRegistry::Instance() {
  // Never destroyed: a thread that logs during unload must still find it.
  static LoggerRegistry* const instance = new LoggerRegistry();
  return *instance;
}

util::RecursiveMutex& LoggerRegistry::Lock() { return LoggingState::Lock(); }

bool LoggerRegistry::Alive() { return LoggingState::Alive(); }

void LoggerRegistry::EndLogging() {
  // This runs while the library unloads or the process ends: on Windows under
  // the loader lock, after the other threads were ended, perhaps inside a
  // write and holding the lock or the heap's; elsewhere while other threads
  // still log. So it takes no lock, frees nothing and closes no file: it only
  // clears the flag. Nothing waits to be flushed either, since every line goes
  // to its file (unbuffered) before its write returns.
  LoggingState::MarkEnded();
}

uint32_t LoggerRegistry::Create(const LoggerSettings& settings) {
  if (settings.path.empty() || !Alive()) return 0;
  // Paths are registered in the platform's own separators ('/' stays '/'
  // where it is the separator), so that one file has one entry.
  std::string path = settings.path;
  const char sep = platform::PathSeparator();
  if (sep != '/') std::replace(path.begin(), path.end(), '/', sep);
  Guard guard(Lock());
  for (const std::unique_ptr<Entry>& entry : entries_) {
    if (entry->registeredPath == path) return entry->id;
  }
  auto entry = std::make_unique<Entry>();
  entry->id = ++lastId_;
  entry->logger = std::make_unique<LogOneImpl>();
  entry->registeredPath = path;
  if (settings.maxSizeKb > 0) entry->logger->SetMaxSizeKb(settings.maxSizeKb);
  if (settings.backupCount > 0) entry->logger->SetBackupCount(settings.backupCount);
  entry->logger->SetThreshold(settings.thresholdLevel);
  entries_.push_back(std::move(entry));
  return lastId_;
}

bool LoggerRegistry::Remove(uint32_t id) {
  Guard guard(Lock());
  std::unique_ptr<Entry> removed;
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [id](const std::unique_ptr<Entry>& entry) { return entry->id == id; });
  if (it == entries_.end()) return false;
  removed = std::move(*it);
  entries_.erase(it);
  return true;  // the logger is destroyed here, still under the lock
}

LogOne* LoggerRegistry::Find(uint32_t id) {
  Guard guard(Lock());
  Entry* entry = FindEntryLocked(id);
  return entry != nullptr ? entry->logger.get() : nullptr;
}

std::size_t LoggerRegistry::Count() {
  Guard guard(Lock());
  return entries_.size();
}

void LoggerRegistry::WriteV(uint32_t id, const char* tag, int level, const char* function,
                            const char* sourceFile, int line, const char* format, va_list args) {
  if (!Alive()) return;
  try {
    Guard guard(Lock());
    Entry* entry = FindEntryLocked(id);
    if (entry == nullptr) return;
    // A line that will not be written causes no folder work either.
    if (level > entry->logger->Threshold()) return;
    const log_internal::LineTimeScope lineTime(log_internal::LogClockNow());
    RunDateStepLocked(entry);
    entry->logger->WriteLineV(tag, level, function, sourceFile, line, format, args);
  } catch (...) {
    // Out of memory while moving to a new day's folder: this line is lost,
    // the caller is not disturbed.
  }
}

void LoggerRegistry::Write(uint32_t id, const char* tag, int level, const char* function,
                           const char* sourceFile, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteV(id, tag, level, function, sourceFile, line, format, args);
  va_end(args);
}

LoggerRegistry::Entry* LoggerRegistry::FindEntryLocked(uint32_t id) {
  for (const std::unique_ptr<Entry>& entry : entries_) {
    if (entry->id == id) return entry.get();
  }
  return nullptr;
}

void LoggerRegistry::RunDateStepLocked(Entry* entry) {
  const platform::LocalTime now = log_internal::LogClockNow();
  const int day = log_internal::DayKey(now);
  if (day == entry->lastDayKey) return;
  char today[log_internal::kTimeTextLength];
  log_internal::FormatLocalTime(now, today);
  std::string path = entry->registeredPath;
  if (log_internal::ApplyDayFolder(&path, today, platform::PathSeparator())) {
    entry->logger->SetFilePath(path);
    if (path != entry->lastDatedPath) {
      // A new day: the next line opens the file in the new day's folder.
      entry->logger->CloseFile();
      entry->lastDatedPath = path;
    }
  }
  // Recorded last: a step cut short (out of memory) is repeated by the next line.
  entry->lastDayKey = day;
}
