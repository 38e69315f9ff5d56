#include "log/LoggingState.h"

#include <atomic>

namespace {

// Set from load until logging ends; constant-initialised, so it is valid
// before any other static object of the process runs.
std::atomic<bool> g_loggingAlive{true};

}  // namespace

util::RecursiveMutex& LoggingState::Lock() {
  static util::RecursiveMutex* const lock = new util::RecursiveMutex();
  return *lock;
}

bool LoggingState::Alive() { return g_loggingAlive.load(std::memory_order_acquire); }

void LoggingState::MarkEnded() { g_loggingAlive.store(false, std::memory_order_release); }
