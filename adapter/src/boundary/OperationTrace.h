// Writes "Enter..." when an operation starts and "Leave..." on every way out
// of it, under the operation's qualified name and with the source file and
// line of the operation that made the trace.
#pragma once

#include "log/AdapterLog.h"

class OperationTrace {
 public:
  // function must outlive the trace (a string literal as a rule).
  explicit OperationTrace(const char* function, int level = kLogInf,
                          const char* sourceFile = __builtin_FILE(),
                          int line = __builtin_LINE());
  ~OperationTrace();
  OperationTrace(const OperationTrace&) = delete;
  OperationTrace& operator=(const OperationTrace&) = delete;

 private:
  void Write(const char* text) const;

  const char* function_;
  int level_;
  const char* sourceFile_;
  int line_;
};
