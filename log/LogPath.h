// Path rules of the log files: the day folder after a "log" folder, and the
// split of a log file path into its folder and file name.
//
// Every function takes the folder separator of the paths it works on ('/' on
// POSIX, '\\' on Windows; see platform::PathSeparator()) so that both forms
// are handled and tested on any machine. None of them touches the disk.
#pragma once

#include <string>

namespace log_internal {

// Puts `today` ("YYYY-MM-DD", exactly 10 characters) into path as its day
// folder:
// - path holds <sep>log<sep>YYYY-MM-DD<sep> (digits, case-sensitive): the first
//   such date is replaced when it differs from today;
// - else path holds <sep>log<sep>: today and a separator are inserted right
//   after the first one;
// - else path is left alone.
// Returns true when the text changed.
bool ApplyDayFolder(std::string* path, const char* today, char sep);

// True for the Windows forms of a path: one with a drive colon ("C:\x") or a
// network path beginning with two backslashes ("\\server\share").
bool IsWindowsFormPath(const std::string& path);

// Splits a log file path into its folder (always ending with sep) and its
// file name. Relative paths are resolved against cwd component by component
// ("." skipped, ".." removes the last component); a bare file name goes into
// cwd. With sep '\\', Windows-form paths are split at their last backslash
// (after '/' became '\\' for drive paths) and are not resolved.
// Returns false, and sets nothing, when no folder can be taken from a
// Windows-form path (no backslash; a network path whose last backslash is its
// second or last character).
bool SplitLogPath(const std::string& path, char sep, const std::string& cwd,
                  std::string* directory, std::string* name);

}  // namespace log_internal
