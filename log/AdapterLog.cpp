#include "log/AdapterLog.h"

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <string>

#include "im_adapter/version.h"
#include "log/LoggerRegistry.h"
#include "platform/Platform.h"
#include "util/Mutex.h"

namespace {

constexpr int kNoLogger = INT_MIN;
constexpr int32_t kBackupCount = 2;
constexpr int kMaxConfiguredSizeMb = 10;
constexpr int kMaxOpenSizeMb = INT32_MAX / 1024;

using Guard = util::RecursiveMutexLock;

// Id of the adapter's logger in the registry (0: none) and its threshold
// (kNoLogger: none), kept apart so that the level check is one atomic read.
std::atomic<uint32_t> g_adapterLogId{0};
std::atomic<int> g_adapterThreshold{kNoLogger};

void CloseLocked() REQUIRES(LoggerRegistry::Lock()) {
  const uint32_t id = g_adapterLogId.exchange(0);
  g_adapterThreshold.store(kNoLogger, std::memory_order_relaxed);
  if (id != 0) LoggerRegistry::Instance().Remove(id);
}

// folder + separator (unless it already ends with one) + file name.
std::string LogFilePath(const char* folder, const char* fileName) {
  std::string path(folder);
  if (!platform::IsPathSeparator(path.back())) path += platform::PathSeparator();
  path += fileName;
  return path;
}

}  // namespace

void AdapterLog(const char* tag, int level, const char* function, const char* sourceFile, int line,
                const char* format, ...) {
  if (!AdapterLogEnabled(level)) return;
  va_list args;
  va_start(args, format);
  try {
    LoggerRegistry::Instance().WriteV(g_adapterLogId.load(std::memory_order_acquire), tag, level,
                                      function, sourceFile, line, format, args);
  } catch (...) {
    // A log call never fails its caller; the line is lost.
  }
  va_end(args);
}

int AdapterLogOpen(int level, int sizeMB, const char* path, const char* fileName) {
  try {
    Guard guard(LoggerRegistry::Lock());
    CloseLocked();
    if (level == 0) return 0;
    if (path == nullptr || *path == '\0' || fileName == nullptr) return 1;
    LoggerSettings settings;
    settings.path = LogFilePath(path, fileName);
    settings.maxSizeKb = (sizeMB > kMaxOpenSizeMb ? kMaxOpenSizeMb : sizeMB) * 1024;
    settings.backupCount = kBackupCount;
    settings.thresholdLevel = level - 1;
    const uint32_t id = LoggerRegistry::Instance().Create(settings);
    if (id == 0) return 1;
    g_adapterLogId.store(id, std::memory_order_release);
    g_adapterThreshold.store(settings.thresholdLevel, std::memory_order_release);
    // The first line of every log names the library version that wrote it.
    AdapterLog("", kLogInf, "AdapterLogOpen", __FILE__, __LINE__, "im_adapter %s",
               IM_ADAPTER_VERSION);
    return 0;
  } catch (...) {
    return 1;
  }
}

void AdapterLogClose() {
  try {
    Guard guard(LoggerRegistry::Lock());
    CloseLocked();
  } catch (...) {
  }
}

void AdapterLogConfigure(int level, int sizeMB) {
  try {
    Guard guard(LoggerRegistry::Lock());
    LogOne* logger = LoggerRegistry::Instance().Find(g_adapterLogId.load());
    if (logger == nullptr) return;
    logger->SetThreshold(level - 1);
    logger->SetMaxSizeKb((sizeMB > kMaxConfiguredSizeMb ? kMaxConfiguredSizeMb : sizeMB) * 1024);
    g_adapterThreshold.store(level - 1, std::memory_order_release);
  } catch (...) {
  }
}

bool AdapterLogEnabled(int level) {
  const int threshold = g_adapterThreshold.load(std::memory_order_relaxed);
  return threshold != kNoLogger && level <= threshold;
}
