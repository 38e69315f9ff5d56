// The adapter's log call and the opening and closing of the adapter's logger.
//
// Every part of the adapter logs through AdapterLog (usually through the
// IMLOG macro below). A line is written only while a logger is open
// (IMAdapterSetLog) and its level is at or below the logger's threshold.
// Lines go to im_adapter.log in the folder the host names; when that folder
// path holds a "log" folder, into a day folder below it
// (<folder>/log/YYYY-MM-DD/im_adapter.log). Files are rotated at their maximum
// size into im_adapter_1.log and im_adapter_2.log.
//
// No function here throws or reports a logging failure to its caller; any
// thread may log, and lines of different threads never interleave.
#pragma once

#include <string>

// Log levels; their names in a line are "Err", "War", "Inf", "Dbg".
enum LogLevel { kLogErr = 0, kLogWar = 1, kLogInf = 2, kLogDbg = 3 };

// Writes one line through the adapter's logger:
//   [YYYY-MM-DD hh:mm:ss.mmm][P:<pid>/T:<tid>][<level>][<source name>:<line> <function>]<text>\r\n
// with "[<tag>]" after the level for a non-empty tag; <source name> is
// sourceFile after its last folder separator. Does nothing without a logger,
// for a level above the threshold, or for a null argument. A line longer than
// 16383 bytes is dropped whole.
void AdapterLog(const char* tag, int level, const char* function, const char* sourceFile, int line,
                const char* format, ...)
    __attribute__((format(printf, 6, 7)));

// Opens the adapter's logger on folder `path` + `fileName` with threshold
// level − 1, files of sizeMB MB and two older copies. Closes a logger that is
// already open first. Its first line, at Inf, names the library version
// ("im_adapter 1.0.0"). Returns 0 on success (and for level 0: logging off),
// 1 when path or fileName is null or path is empty.
int AdapterLogOpen(int level, int sizeMB, const char* path, const char* fileName);

// Removes the adapter's logger (its file is closed). Safe without a logger.
void AdapterLogClose();

// Threshold = level − 1; max size = min(sizeMB, 10) MB (a size ≤ 0 keeps the
// current one). Does nothing without an open logger.
void AdapterLogConfigure(int level, int sizeMB);

// True when a line of `level` would be written now (a logger is open and the
// level is within its threshold). One atomic read: lets callers skip building
// costly texts.
bool AdapterLogEnabled(int level);

// Writes `text` at `level` for `function`, with this source file and line.
#define IMLOG(level, function, text)                                                   \
  do {                                                                                 \
    if (AdapterLogEnabled(level)) {                                                    \
      AdapterLog("", (level), (function), __FILE__, __LINE__, "%s",                    \
                 ::std::string(text).c_str());                                         \
    }                                                                                  \
  } while (0)
