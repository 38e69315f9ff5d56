// LoggerRegistry: the process-wide table of loggers, and the one lock and the
// one flag that all logging in the process shares.
//
// Each logger is registered under an id (1, 2, 3 … in order of creation,
// never reused) and owned by the registry until it is removed. A write
// through an id looks the logger up, moves its file into today's day folder
// when its path has a "log" folder (see ApplyDayFolder), and writes the line,
// all under Lock(), so lines of different threads never interleave.
//
// Lifetime: logging is alive from load; when the library is unloaded or the
// process ends (static destruction) it ends: the flag is cleared, and nothing
// else. The registry, the loggers it holds then, their open files and the
// lock stay as they are, so a late call from another thread (one already past
// the flag included) still finds them. (A library unloaded without ever being
// started leaves its log files open until the process ends.)
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log/LogOne.h"
#include "util/Mutex.h"

// What a logger is created with.
struct LoggerSettings {
  std::string path;            // full path of the log file; required
  int32_t maxSizeKb = 0;       // applied only when > 0
  int32_t backupCount = 0;     // applied only when > 0
  int32_t thresholdLevel = 3;  // lines above this level are not written
};

class LoggerRegistry {
 public:
  // The single registry. Any thread.
  static LoggerRegistry& Instance();
  // The recursive lock that serialises the registry and every logger, and
  // the flag that is false once logging has ended (LoggingState).
  static util::RecursiveMutex& Lock();
  static bool Alive();
  // Ends logging for the process: clears the flag; takes no lock and leaves
  // every logger as it is. Runs at unload and exit; irreversible.
  static void EndLogging();

  // Creates a logger. Returns its id; the id of the existing logger when one
  // was created with the same path (exact comparison); 0 when the path is
  // empty or logging has ended.
  uint32_t Create(const LoggerSettings& settings);
  // Destroys the logger of id (closing its file). False when there is none.
  bool Remove(uint32_t id);
  // The logger of id, or nullptr. The pointer is valid only while the caller
  // holds Lock().
  LogOne* Find(uint32_t id);
  // Number of registered loggers.
  std::size_t Count();

  // Writes one line through the logger of id (nothing when there is none).
  void WriteV(uint32_t id, const char* tag, int level, const char* function, const char* sourceFile,
              int line, const char* format, va_list args);
  void Write(uint32_t id, const char* tag, int level, const char* function, const char* sourceFile,
             int line, const char* format, ...);

 private:
  struct Entry {
    uint32_t id = 0;
    std::unique_ptr<LogOne> logger;
    std::string registeredPath;
    std::string lastDatedPath;
    int lastDayKey = 0;  // day of the last date step; 0 before the first
  };

  LoggerRegistry() = default;
  Entry* FindEntryLocked(uint32_t id) REQUIRES(Lock());
  // Moves the logger into today's day folder; does work only when the day
  // differs from the one of the previous step.
  void RunDateStepLocked(Entry* entry) REQUIRES(Lock());

  std::vector<std::unique_ptr<Entry>> entries_ GUARDED_BY(Lock());
  uint32_t lastId_ GUARDED_BY(Lock()) = 0;
};
