#include "log/LogPath.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "log/LogClock.h"

namespace log_internal {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when text at pos holds "YYYY-MM-DD" followed by sep.
bool IsDateFolderAt(const std::string& text, std::size_t pos, char sep) {
  static const char kShape[] = "dddd-dd-dd";
  if (pos + kDateTextLength >= text.size()) return false;
  for (std::size_t i = 0; i < kDateTextLength; ++i) {
    const char c = text[pos + i];
    if (kShape[i] == 'd' ? !IsDigit(c) : c != '-') return false;
  }
  return text[pos + kDateTextLength] == sep;
}

bool IsSeparator(char c, char sep) { return c == sep || (sep == '\\' && c == '/'); }

std::vector<std::string> Components(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (IsSeparator(c, sep)) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// base + relative, with "." and ".." applied; the result ends with sep.
std::string ResolveFolder(const std::string& base, const std::string& relative, char sep) {
  std::vector<std::string> parts = Components(base, sep);
  for (const std::string& part : Components(relative, sep)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string folder = (!base.empty() && base[0] == sep) ? std::string(1, sep) : std::string();
  for (const std::string& part : parts) folder += part + sep;
  return folder;
}

bool SplitWindowsForm(std::string path, std::string* directory, std::string* name) {
  const bool network = path.compare(0, 2, "\\\\") == 0;
  if (!network) std::replace(path.begin(), path.end(), '/', '\\');
  const std::size_t last = path.rfind('\\');
  if (last == std::string::npos) return false;
  if (network && (last == 1 || last + 1 == path.size())) return false;
  *directory = path.substr(0, last + 1);
  *name = path.substr(last + 1);
  return true;
}

std::size_t LastSeparator(const std::string& path, char sep) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1], sep)) return i - 1;
  }
  return std::string::npos;
}

}  // namespace

bool ApplyDayFolder(std::string* path, const char* today, char sep) {
  const char marker[] = {sep, 'l', 'o', 'g', sep, '\0'};
  const std::size_t markerLength = std::strlen(marker);
  std::size_t firstMarker = std::string::npos;
  for (std::size_t pos = path->find(marker); pos != std::string::npos;
       pos = path->find(marker, pos + 1)) {
    if (firstMarker == std::string::npos) firstMarker = pos;
    const std::size_t datePos = pos + markerLength;
    if (IsDateFolderAt(*path, datePos, sep)) {
      if (path->compare(datePos, kDateTextLength, today, kDateTextLength) == 0) return false;
      path->replace(datePos, kDateTextLength, today, kDateTextLength);
      return true;
    }
  }
  if (firstMarker == std::string::npos) return false;
  std::string folder(today, kDateTextLength);
  folder += sep;
  path->insert(firstMarker + markerLength, folder);
  return true;
}

bool IsWindowsFormPath(const std::string& path) {
  return path.find(':') != std::string::npos || path.compare(0, 2, "\\\\") == 0;
}

bool SplitLogPath(const std::string& path, char sep, const std::string& cwd,
                  std::string* directory, std::string* name) {
  if (sep == '\\' && IsWindowsFormPath(path)) return SplitWindowsForm(path, directory, name);
  const std::size_t last = LastSeparator(path, sep);
  if (last == std::string::npos) {
    *directory = ResolveFolder(cwd, std::string(), sep);
    *name = path;
    return true;
  }
  const bool absolute = path[0] == sep;
  const std::string folderPart = path.substr(0, last);
  *directory = ResolveFolder(absolute ? std::string(1, sep) : cwd, folderPart, sep);
  *name = path.substr(last + 1);
  return true;
}

}  // namespace log_internal
