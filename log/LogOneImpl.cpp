#include "log/LogOneImpl.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "log/LogClock.h"
#include "log/LogPath.h"
#include "log/LoggingState.h"
#include "platform/Platform.h"

namespace {

constexpr const char* kLevelNames[] = {"Err", "War", "Inf", "Dbg"};
constexpr int kDebugLevel = 3;
constexpr const char* kFallbackName = "MyLog.log";
constexpr const char* kFallbackFolder = "Log";
constexpr const char* kHeaderTitle = "Logone(v3.0) ";
constexpr const char* kHeaderBegin = "Begin Time:";
// The real file size is read for each line only within this distance of the
// maximum size (another writer may have grown the file meanwhile).
constexpr int64_t kSizeCheckBand = 64 * 1024;

using Guard = util::RecursiveMutexLock;

// Appends texts and numbers to a fixed buffer; once something does not fit
// (with room for the terminator) the writer stays failed.
class LineWriter {
 public:
  LineWriter(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void Put(const char* text, std::size_t length) {
    if (!ok_ || length >= capacity_ - length_) {
      ok_ = false;
      return;
    }
    std::memcpy(buffer_ + length_, text, length);
    length_ += length;
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  void PutChar(char c) { Put(&c, 1); }
  void PutUnsigned(uint64_t value) {
    char digits[24];
    std::size_t count = 0;
    do {
      digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    Put(digits + sizeof digits - count, count);
  }
  void PutInt(int value) {
    if (value < 0) PutChar('-');
    PutUnsigned(value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
  }
  // Appends a printf-formatted message; fails when it does not fit whole.
  void PutFormatted(const char* format, va_list args) {
    if (!ok_) return;
    // The adapter logs prepared texts with "%s"; copy those directly.
    if (std::strcmp(format, "%s") == 0) {
      const char* text = va_arg(args, const char*);
      Put(text != nullptr ? text : "(null)");
      return;
    }
    const std::size_t room = capacity_ - length_;
    const int written = std::vsnprintf(buffer_ + length_, room, format, args);
    if (written < 0 || static_cast<std::size_t>(written) >= room) {
      ok_ = false;
      return;
    }
    length_ += static_cast<std::size_t>(written);
  }
  // Terminates the text; false when anything failed to fit.
  bool Finish() {
    if (!ok_) return false;
    buffer_[length_] = '\0';
    return true;
  }
  std::size_t length() const { return length_; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
  bool ok_ = true;
};

// Process and thread ids are read once per thread: each read is a system call,
// which would cost about as much as formatting the rest of the line.
uint64_t CurrentProcessId() {
  thread_local const uint64_t id = platform::ProcessId();
  return id;
}

uint64_t CurrentThreadId() {
  thread_local const uint64_t id = platform::ThreadId();
  return id;
}

// The source path's text after its last folder separator ('/' and this
// platform's own separator).
const char* SourceName(const char* sourceFile) {
  const char sep = platform::PathSeparator();
  const char* name = sourceFile;
  for (const char* c = sourceFile; *c != '\0'; ++c) {
    if (*c == '/' || *c == sep) name = c + 1;
  }
  return name;
}

// "[time][P:pid/T:tid][Lvl]([tag])[source:line function]". False when the
// source name is empty or the prefix does not fit.
bool PutPrefix(LineWriter* writer, const char* levelName, const char* tag, const char* function,
               const char* sourceFile, int line) {
  const char* source = SourceName(sourceFile);
  if (*source == '\0') return false;
  char time[log_internal::kTimeTextLength];
  log_internal::FormatLocalTime(log_internal::LogClockNow(), time);
  writer->PutChar('[');
  writer->Put(time, sizeof time);
  writer->Put("][P:");
  writer->PutUnsigned(CurrentProcessId());
  writer->Put("/T:");
  writer->PutUnsigned(CurrentThreadId());
  writer->Put("][");
  writer->Put(levelName);
  writer->Put("][");
  if (*tag != '\0') {
    writer->Put(tag);
    writer->Put("][");
  }
  writer->Put(source);
  writer->PutChar(':');
  writer->PutInt(line);
  writer->PutChar(' ');
  writer->Put(function);
  writer->PutChar(']');
  return writer->Finish();
}

// Appends the UTF-8 form of a wide text (UTF-32, or UTF-16 where wchar_t has
// 16 bits); invalid units become U+FFFD.
void PutUtf8(LineWriter* writer, const wchar_t* text) {
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    uint32_t code = static_cast<uint32_t>(*p);
    if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDBFF && p[1] >= 0xDC00 &&
        static_cast<uint32_t>(p[1]) <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00);
      ++p;
    }
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
    char bytes[4];
    std::size_t count;
    if (code < 0x80) {
      bytes[0] = static_cast<char>(code);
      count = 1;
    } else if (code < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (code >> 6));
      bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
      count = 2;
    } else if (code < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (code >> 12));
      bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
      count = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (code >> 18));
      bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
      count = 4;
    }
    writer->Put(bytes, count);
  }
}

// Index of a numbered copy "<base>_<digits><extension>"; 0 for the current
// file itself; -1 for any other name (only the logger's own files are touched).
int64_t CopyIndex(const std::string& entry, const std::string& current, const std::string& base,
                  const std::string& extension) {
  if (entry == current) return 0;
  const std::size_t prefix = base.size() + 1;
  if (entry.size() <= prefix + extension.size() || entry.compare(0, base.size(), base) != 0 ||
      entry[base.size()] != '_' ||
      entry.compare(entry.size() - extension.size(), extension.size(), extension) != 0) {
    return -1;
  }
  const std::size_t digitsEnd = entry.size() - extension.size();
  if (digitsEnd - prefix > 9) return -1;
  int64_t index = 0;
  for (std::size_t i = prefix; i < digitsEnd; ++i) {
    if (entry[i] < '0' || entry[i] > '9') return -1;
    index = index * 10 + (entry[i] - '0');
  }
  return index == 0 ? -1 : index;
}

}  // namespace

void LogOneImpl::FileCloser::operator()(std::FILE* file) const {
  if (file != nullptr) std::fclose(file);
}

LogOneImpl::LogOneImpl() : lock_(LoggingState::Lock()), lineBuffer_(new char[kLineBufferSize]) {
  ResetRotationCheckLocked();
}

LogOneImpl::~LogOneImpl() {
  Guard guard(lock_);
  file_.reset();
}

void LogOneImpl::WriteLineW(const char* tag, int level, const char* function,
                            const char* sourceFile, int line, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLineWV(tag, level, function, sourceFile, line, format, args);
  va_end(args);
}

void LogOneImpl::WriteLine(const char* tag, int level, const char* function,
                           const char* sourceFile, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLineV(tag, level, function, sourceFile, line, format, args);
  va_end(args);
}

void LogOneImpl::WriteLineV(const char* tag, int level, const char* function,
                            const char* sourceFile, int line, const char* format, va_list args) {
  if (!LoggingState::Alive() || format == nullptr || tag == nullptr || function == nullptr ||
      sourceFile == nullptr) {
    return;
  }
  Guard guard(lock_);
  if (stopped_ || level < 0 || level > kDebugLevel || level > threshold_) return;
  if (!PrepareFileLocked() && (outputMode_ & kOutputConsole) == 0) return;
  LineWriter writer(lineBuffer_.get(), kLineBufferSize);
  if (!PutPrefix(&writer, kLevelNames[level], tag, function, sourceFile, line)) return;
  writer.PutFormatted(format, args);
  writer.Put("\r\n", 2);
  if (writer.Finish()) EmitLocked(lineBuffer_.get(), writer.length());
}

void LogOneImpl::WriteLineWV(const char* tag, int level, const char* function,
                             const char* sourceFile, int line, const wchar_t* format,
                             va_list args) {
  if (!LoggingState::Alive() || format == nullptr || tag == nullptr || function == nullptr ||
      sourceFile == nullptr) {
    return;
  }
  Guard guard(lock_);
  if (stopped_ || level < 0 || level > kDebugLevel || level > threshold_) return;
  if (!PrepareFileLocked() && (outputMode_ & kOutputConsole) == 0) return;
  if (!wideBuffer_) wideBuffer_.reset(new (std::nothrow) wchar_t[kLineBufferSize]);
  if (!wideBuffer_) return;
  if (std::vswprintf(wideBuffer_.get(), kLineBufferSize, format, args) < 0) return;
  LineWriter writer(lineBuffer_.get(), kLineBufferSize);
  if (!PutPrefix(&writer, kLevelNames[level], tag, function, sourceFile, line)) return;
  writer.Put("Content:");
  PutUtf8(&writer, wideBuffer_.get());
  writer.Put("\r\n", 2);
  if (writer.Finish()) EmitLocked(lineBuffer_.get(), writer.length());
}

void LogOneImpl::WriteTrace(const char* tag, const char* function, const char* sourceFile,
                            int line, bool enter) {
  if (!LoggingState::Alive() || function == nullptr || *function == '\0' ||
      sourceFile == nullptr || *sourceFile == '\0' || tag == nullptr) {
    return;
  }
  Guard guard(lock_);
  if (stopped_ || threshold_ < kDebugLevel) return;
  if (!PrepareFileLocked() && (outputMode_ & kOutputConsole) == 0) return;
  char buffer[kTraceBufferSize];
  LineWriter writer(buffer, sizeof buffer);
  if (!PutPrefix(&writer, kLevelNames[kDebugLevel], tag, function, sourceFile, line)) return;
  writer.Put(enter ? "[Enter]\r\n" : "[Leave]\r\n");
  if (writer.Finish()) EmitLocked(buffer, writer.length());
}

bool LogOneImpl::CloseFile() {
  Guard guard(lock_);
  if (file_) {
    if (std::fclose(file_.get()) != 0) {
      // The stream is gone even when fclose reports an error; what failed was
      // writing its last bytes. Forget it and reopen at the next line.
      file_.release();
      needsOpen_ = true;
      return false;
    }
    file_.release();
  }
  needsOpen_ = true;
  return true;
}

void LogOneImpl::SetFilePath(const std::string& path) {
  Guard guard(lock_);
  directory_.clear();
  fileName_.clear();
  const char sep = platform::PathSeparator();
  const std::string cwd = platform::CurrentDirectory();
  std::string directory;
  std::string name;
  if (!log_internal::SplitLogPath(path, sep, cwd, &directory, &name)) return;
  if (!platform::MakeDirectories(directory)) {
    // The configured folder cannot be made: keep logging under the working
    // directory rather than losing the lines.
    directory = cwd + sep + kFallbackFolder + sep;
    name = kFallbackName;
    platform::MakeDirectories(directory);
  }
  directory_ = directory;
  fileName_ = name;
}

bool LogOneImpl::OpenFile() {
  Guard guard(lock_);
  if (file_) return true;
  if (!needsOpen_) return false;
  needsOpen_ = false;
  if (!OpenAtLocked(PathOfLocked(fileName_))) {
    fileName_ = kFallbackName;
    if (!OpenAtLocked(PathOfLocked(fileName_))) return false;
  }
  WriteHeaderLocked();
  return true;
}

bool LogOneImpl::DatePath(std::string* path) {
  char today[log_internal::kTimeTextLength];
  log_internal::FormatLocalTime(log_internal::LogClockNow(), today);
  return log_internal::ApplyDayFolder(path, today, platform::PathSeparator());
}

void LogOneImpl::Stop() {
  Guard guard(lock_);
  stopped_ = true;
}

void LogOneImpl::Resume() {
  Guard guard(lock_);
  stopped_ = false;
}

void LogOneImpl::SetMaxSizeKb(int32_t kilobytes) {
  Guard guard(lock_);
  if (kilobytes <= 0) return;
  maxSize_ = static_cast<int64_t>(kilobytes) * 1024;
  ResetRotationCheckLocked();
}

void LogOneImpl::SetBackupCount(int32_t count) {
  Guard guard(lock_);
  if (count > 0) backupCount_ = count;
}

void LogOneImpl::SetThreshold(int32_t level) {
  threshold_.store(level, std::memory_order_relaxed);
}

void LogOneImpl::SetLabel(const std::string& label) {
  Guard guard(lock_);
  label_ = label.substr(0, kMaxLabelLength);
}

void LogOneImpl::SetOutputMode(uint32_t bits) {
  Guard guard(lock_);
  outputMode_ = bits;
}

int32_t LogOneImpl::Threshold() const { return threshold_.load(std::memory_order_relaxed); }

std::string LogOneImpl::CurrentFilePath() const {
  Guard guard(lock_);
  return PathOfLocked(fileName_);
}

bool LogOneImpl::PrepareFileLocked() {
  if ((outputMode_ & kOutputFile) == 0) return false;
  if (file_) {
    RotateIfFullLocked();
    return file_ != nullptr;
  }
  return OpenFile();
}

void LogOneImpl::RotateIfFullLocked() {
  if (fileSize_ < nextSizeCheck_) return;
  const int64_t size = MeasureFileSizeLocked();
  if (size < maxSize_) return;
  if (!RotateLocked()) {
    // The full file could not be moved aside; it stays in use as it is, and
    // the next attempt waits for another sixteenth of the maximum size.
    nextSizeCheck_ = fileSize_ + maxSize_ / 16;
  }
}

// name.ext → name_1.ext → … → name_<backup count>.ext (deleted); a name
// without "." rotates as name_1, name_2 ….
bool LogOneImpl::RotateLocked() {
  if (!CloseFile()) return false;
  const std::string::size_type dot = fileName_.rfind('.');
  const std::string base = fileName_.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : fileName_.substr(dot);
  RenameCopiesLocked(base, extension);
  const std::string current = PathOfLocked(fileName_);
  const bool movedAside = !platform::PathExists(current);
  if (movedAside) {
    // An empty file under the current name, so that the name exists even
    // before the header is written.
    FileHandle created(platform::OpenFile(current, "w"));
  }
  needsOpen_ = true;
  OpenFile();
  return movedAside;
}

void LogOneImpl::RenameCopiesLocked(const std::string& base, const std::string& extension) {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(directory_.empty() ? std::string(".") : directory_, &entries);
  std::vector<int64_t> toRename = {0};  // the current file, even if the listing failed
  for (const platform::DirEntry& entry : entries) {
    if (entry.isDirectory) continue;
    const int64_t index = CopyIndex(entry.name, fileName_, base, extension);
    if (index <= 0 || index > backupCount_) continue;
    if (index == backupCount_) {
      platform::RemoveFile(PathOfLocked(entry.name));
    } else {
      toRename.push_back(index);
    }
  }
  std::sort(toRename.begin(), toRename.end(), std::greater<int64_t>());
  for (int64_t index : toRename) {
    const std::string from = index == 0 ? fileName_ : base + "_" + std::to_string(index) + extension;
    platform::RenameReplace(PathOfLocked(from),
                            PathOfLocked(base + "_" + std::to_string(index + 1) + extension));
  }
}

bool LogOneImpl::OpenAtLocked(const std::string& path) {
  FileHandle file(platform::OpenFile(path, "ab+"));
  if (!file) return false;
  // Unbuffered: every line is built whole in the line buffer and leaves in
  // one write, so nothing waits in the stream and no flush is needed.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  file_ = std::move(file);
  fileSize_ = 0;
  MeasureFileSizeLocked();
  ResetRotationCheckLocked();
  return true;
}

void LogOneImpl::WriteHeaderLocked() {
  char time[log_internal::kTimeTextLength];
  log_internal::FormatLocalTime(log_internal::LogClockNow(), time);
  char header[128];
  LineWriter writer(header, sizeof header);
  writer.Put(kHeaderTitle);
  writer.Put(kHeaderBegin);
  writer.Put(time, sizeof time);
  writer.Put("\r\n", 2);
  if (writer.Finish()) EmitLocked(header, writer.length());
}

void LogOneImpl::EmitLocked(const char* text, std::size_t length) {
  if ((outputMode_ & kOutputFile) != 0 && file_) {
    const std::size_t written = platform::WriteUnbuffered(file_.get(), text, length);
    fileSize_ += static_cast<int64_t>(written);
  }
  if ((outputMode_ & kOutputConsole) != 0) {
    std::fwrite(text, 1, length, stderr);
  }
}

std::string LogOneImpl::PathOfLocked(const std::string& name) const { return directory_ + name; }

int64_t LogOneImpl::MeasureFileSizeLocked() {
  if (!file_ || std::fseek(file_.get(), 0, SEEK_END) != 0) return fileSize_;
  const long size = std::ftell(file_.get());
  if (size >= 0) fileSize_ = size;
  return fileSize_;
}

void LogOneImpl::ResetRotationCheckLocked() {
  nextSizeCheck_ = maxSize_ - std::min<int64_t>(maxSize_ / 16, kSizeCheckBand);
}
