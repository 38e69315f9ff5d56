#include "log/FunctionTrace.h"

#include "log/LogClock.h"
#include "log/LoggerRegistry.h"
#include "platform/Platform.h"

FunctionTrace::FunctionTrace(LogOne* const& logger, const char* tag, const char* function,
                             const char* sourceFile, int line, Callback callback, int mode,
                             void* context)
    : logger_(&logger), callback_(callback), mode_(mode), context_(context) {
  if (tag != nullptr && function != nullptr && sourceFile != nullptr) {
    tag_ = tag;
    function_ = function;
    sourceFile_ = sourceFile;
    line_ = line;
  }
  Report(true);
}

FunctionTrace::~FunctionTrace() { Report(false); }

void FunctionTrace::Report(bool enter) const {
  if (function_ == nullptr) return;
  if (mode_ == kModeCallback && callback_ != nullptr) {
    char time[log_internal::kTimeTextLength + 1];
    log_internal::FormatLocalTime(log_internal::LogClockNow(), time);
    time[log_internal::kTimeTextLength] = '\0';
    const unsigned long threadId = static_cast<unsigned long>(platform::ThreadId());
    if (enter) {
      callback_(kCallbackEnterLevel, context_, "[%s][T:%lu][%s:%d]Enter %s", time, threadId,
                function_, line_, function_);
    } else {
      callback_(kCallbackLeaveLevel, context_, "[%s][T:%lu][%s:%d]Leave %s", time, threadId,
                function_, line_, function_);
    }
    return;
  }
  LogOne* logger = *logger_;
  if (logger != nullptr && LoggerRegistry::Alive()) {
    logger->WriteTrace(tag_, function_, sourceFile_, line_, enter);
  }
}
