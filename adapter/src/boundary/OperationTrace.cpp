#include "adapter/src/boundary/OperationTrace.h"

OperationTrace::OperationTrace(const char* function, int level, const char* sourceFile, int line)
    : function_(function), level_(level), sourceFile_(sourceFile), line_(line) {
  Write("Enter...");
}

OperationTrace::~OperationTrace() { Write("Leave..."); }

void OperationTrace::Write(const char* text) const {
  if (AdapterLogEnabled(level_)) AdapterLog("", level_, function_, sourceFile_, line_, "%s", text);
}
