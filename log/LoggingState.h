// LoggingState: the one lock and the one flag that all logging in the process
// shares. It sits below both the registry of loggers and the file logger, so
// that each can take the lock without knowing the other.
//
// Lifetime: the lock is never destroyed and the flag is constant-initialised,
// so both are valid before any other static object runs and after every one
// has been destroyed; a late write from another thread finds the flag clear.
#pragma once

#include "util/Mutex.h"

class LoggingState {
 public:
  // The recursive lock that serialises the registry and every logger.
  static util::RecursiveMutex& Lock();
  // False once logging has ended for the process; read without the lock.
  static bool Alive();
  // Clears the flag for good (the registry's EndLogging).
  static void MarkEnded();
};
