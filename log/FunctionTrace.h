// FunctionTrace: a scope object that logs the entry into and the exit from a
// function.
//
// Without a callback (or with a mode other than kModeCallback) it writes the
// trace lines "<prefix>[Enter]" at construction and "<prefix>[Leave]" at
// destruction through the logger held in the variable it was given (read
// again at destruction); nothing is written while that variable holds
// nullptr, when logging has ended, or when the logger's threshold is below
// debug. With kModeCallback and a callback it instead calls
//   callback(7, context, "[%s][T:%lu][%s:%d]Enter %s", time, thread id, function, line, function)
//   callback(6, context, "[%s][T:%lu][%s:%d]Leave %s", ...same arguments)
// Function, source file, line and tag are recorded only when function, source
// file and tag are all given; otherwise the object does nothing.
//
// The texts passed in must outlive the object (string literals in practice).
// Use on one thread: the object belongs to the scope that made it.
#pragma once

#include "log/LogOne.h"

class FunctionTrace {
 public:
  using Callback = void (*)(int level, void* context, const char* format, ...);
  static constexpr int kModeCallback = 1;
  static constexpr int kCallbackEnterLevel = 7;
  static constexpr int kCallbackLeaveLevel = 6;

  FunctionTrace(LogOne* const& logger, const char* tag, const char* function,
                const char* sourceFile, int line, Callback callback = nullptr, int mode = 0,
                void* context = nullptr);
  // The logger must be a variable that outlives this object, not a temporary.
  FunctionTrace(LogOne*&& logger, const char* tag, const char* function, const char* sourceFile,
                int line, Callback callback = nullptr, int mode = 0,
                void* context = nullptr) = delete;
  virtual ~FunctionTrace();
  FunctionTrace(const FunctionTrace&) = delete;
  FunctionTrace& operator=(const FunctionTrace&) = delete;

 private:
  void Report(bool enter) const;

  LogOne* const* logger_;
  const char* tag_ = nullptr;
  const char* function_ = nullptr;
  const char* sourceFile_ = nullptr;
  int line_ = 0;
  Callback callback_;
  int mode_;
  void* context_;
};
