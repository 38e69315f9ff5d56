// LogOne: the interface of one text logger.
//
// A logger writes lines of the form
//   [YYYY-MM-DD hh:mm:ss.mmm][P:<pid>/T:<tid>][<level>][<tag>][<source>:<line> <function>]<text>\r\n
// (the "[<tag>]" part only for a non-empty tag) into one file, flushing each
// line at once. The operations are declared in a fixed order (numbered 0 to
// 16 below): code built against the interface relies on that virtual-table
// layout, so new operations go at the end. LogOneImpl implements all of them.
//
// Threads: every operation may be called from any thread; the implementation
// serialises them behind the process-wide logging lock (LoggingState::Lock()).
// No operation throws or reports a logging failure to its caller.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

class LogOne {
 public:
  // Output mode bits (SetOutputMode).
  static constexpr uint32_t kOutputFile = 1;     // lines go to the log file
  static constexpr uint32_t kOutputConsole = 2;  // lines also go to standard error

  // 0: writes a line whose message comes from a wide-character format. The
  // message follows "Content:" after the prefix, converted to UTF-8.
  virtual void WriteLineW(const char* tag, int level, const char* function,
                          const char* sourceFile, int line, const wchar_t* format, ...) = 0;
  // 1: writes a line from a printf format and its arguments.
  virtual void WriteLine(const char* tag, int level, const char* function, const char* sourceFile,
                         int line, const char* format, ...) = 0;
  // 2: as WriteLineW, with an argument list.
  virtual void WriteLineWV(const char* tag, int level, const char* function,
                           const char* sourceFile, int line, const wchar_t* format,
                           va_list args) = 0;
  // 3: as WriteLine, with an argument list. Nothing is written when the level
  // is above the threshold, an argument is null, the logger is stopped or
  // logging has ended for the process; a line longer than the line buffer
  // (16384 bytes with "\r\n" and terminator) is dropped whole.
  virtual void WriteLineV(const char* tag, int level, const char* function,
                          const char* sourceFile, int line, const char* format,
                          va_list args) = 0;
  // 4: writes "<prefix>[Enter]" or "<prefix>[Leave]" at debug level; only
  // when the threshold is at least debug.
  virtual void WriteTrace(const char* tag, const char* function, const char* sourceFile, int line,
                          bool enter) = 0;
  // 5: closes the file. On success (or when no file was open) the next write
  // reopens it; returns false only when closing failed.
  virtual bool CloseFile() = 0;
  // 6: sets the file path: splits it into folder and file name and creates
  // the folder. When the folder cannot be made, the logger falls back to
  // "MyLog.log" in a "Log" folder under the working directory.
  virtual void SetFilePath(const std::string& path) = 0;
  // 7: opens folder + file name (append mode) when it is not open and a
  // (re)open is pending; falls back to "MyLog.log" in the same folder. A new
  // file position starts with a header line. True when the file is open.
  virtual bool OpenFile() = 0;
  // 8: puts today's date into path as its day folder (see ApplyDayFolder).
  // Returns true when it changed the text.
  virtual bool DatePath(std::string* path) = 0;
  // 9: closes the file and frees the line buffer.
  virtual ~LogOne() = default;
  // 10, 11: while stopped every write is ignored; the file stays as it is.
  virtual void Stop() = 0;
  virtual void Resume() = 0;
  // 12: maximum file size in KB before the file is rotated.
  virtual void SetMaxSizeKb(int32_t kilobytes) = 0;
  // 13: number of older copies kept (name_1 … name_N); ignored unless > 0.
  virtual void SetBackupCount(int32_t count) = 0;
  // 14: lines with a level above this are not written (0 Err … 3 Dbg).
  virtual void SetThreshold(int32_t level) = 0;
  // 15: a free label (up to 255 characters kept); not written anywhere.
  virtual void SetLabel(const std::string& label) = 0;
  // 16: output mode bits (kOutputFile, kOutputConsole).
  virtual void SetOutputMode(uint32_t bits) = 0;

  // 17: the current threshold; lock-free, so a registry write can skip lines
  // above it before any folder work.
  virtual int32_t Threshold() const = 0;
};
