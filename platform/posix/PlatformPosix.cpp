// POSIX implementation of the platform interface.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/NativeFiles.h"
#include "platform/Platform.h"

namespace platform {
namespace {

// The one place where errno becomes an adapter result code.
int TranslateNativeError(int err) {
  switch (err) {
    case 0: return kOk;
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kErrAccessDenied;
    case EBUSY:
    case ETXTBSY: return kErrSharingViolation;
    case ENOTSUP:
    case ENOSYS: return kErrNotSupported;
    case EISDIR: return kErrNotRegularFile;
    case EXDEV: return kErrNotSameDevice;
    case EEXIST:
    case ENOTEMPTY: return kErrAlreadyExists;
    case EINVAL: return kErrInvalidParameter;
    case ENOSPC:
    case EDQUOT: return kErrDiskFull;
    case ENAMETOOLONG: return kErrInvalidName;
    default: return kErrGeneric;
  }
}

int ResultOf(int rc) { return rc == 0 ? kOk : TranslateNativeError(errno); }

std::string ParentOf(const std::string& path) {
  std::string::size_type pos = path.find_last_of('/');
  if (pos == std::string::npos) return ".";
  if (pos == 0) return "/";
  return path.substr(0, pos);
}

// path itself when it exists, else its nearest existing ancestor ("" when none:
// a relative path whose every level is missing).
std::string NearestExisting(const std::string& path) {
  if (path.empty()) return std::string();
  std::string probe = path;
  for (;;) {
    struct stat st {};
    if (::stat(probe.c_str(), &st) == 0) return probe;
    if (probe == "/" || probe == ".") return std::string();
    probe = ParentOf(probe);
  }
}

// Owns one file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

native::FileStatus StatusFrom(const struct stat& st) {
  native::FileStatus status;
  status.kind = S_ISREG(st.st_mode)   ? native::FileKind::kRegular
                : S_ISDIR(st.st_mode) ? native::FileKind::kDirectory
                                      : native::FileKind::kOther;
  status.size = static_cast<uint64_t>(st.st_size);
  status.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return status;
}

// Opens a regular file without ever blocking on a FIFO or device: the path is
// checked first, opened non-blocking, and checked again through the handle (it
// may have been replaced in between). -1 with errno set on failure.
int OpenRegular(const std::string& path, int flags, mode_t mode) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  Fd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode));
  if (fd.get() < 0) return -1;
  if (::fstat(fd.get(), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return fd.release();
}

// The open(2) flags of a C stdio mode; -1 for a mode it does not know.
int FlagsOfMode(const char* mode) {
  const bool plus = std::strchr(mode, '+') != nullptr;
  switch (mode[0]) {
    case 'r': return plus ? O_RDWR : O_RDONLY;
    case 'w': return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    case 'a': return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default: return -1;
  }
}

// Writes all of data; false with errno set on failure.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The copy loop of CopyToNewFile: from in to out, the observer after each chunk.
int CopyBytes(int in, int out, const native::CopyObserver& observer) {
  char buf[1 << 16];
  uint64_t copied = 0;
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return TranslateNativeError(errno);
    if (n == 0) return kOk;
    if (!WriteAll(out, buf, static_cast<size_t>(n))) return TranslateNativeError(errno);
    copied += static_cast<uint64_t>(n);
    const int rc = observer ? observer(copied) : kOk;
    if (rc != kOk) return rc;
  }
}

}  // namespace

char PathSeparator() { return '/'; }
bool IsPathSeparator(char c) { return c == '/'; }

int LastError() { return TranslateNativeError(errno); }
std::string LastErrorText() {
  char buf[256] = {0};
  // GNU strerror_r returns the text (possibly not in buf).
  const char* text = ::strerror_r(errno, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

LocalTime NowLocal() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tmv {};
  ::localtime_r(&ts.tv_sec, &tmv);
  LocalTime t;
  t.year = tmv.tm_year + 1900;
  t.month = tmv.tm_mon + 1;
  t.day = tmv.tm_mday;
  t.hour = tmv.tm_hour;
  t.minute = tmv.tm_min;
  t.second = tmv.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

int64_t NowUnixMillis() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

uint64_t ProcessId() { return static_cast<uint64_t>(::getpid()); }
uint64_t ThreadId() { return static_cast<uint64_t>(::syscall(SYS_gettid)); }

bool PinLibraryContaining(const void* address) {
  Dl_info info;
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return false;
  // RTLD_NOLOAD takes one more reference on the loaded object; RTLD_NODELETE
  // keeps it mapped after its last dlclose. The handle is kept on purpose.
  return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

void SetCurrentThreadName(const char* name) {
  char shortName[16] = {0};  // the kernel keeps 15 characters
  std::strncpy(shortName, name ? name : "", sizeof shortName - 1);
  ::pthread_setname_np(::pthread_self(), shortName);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  const int flags = mode != nullptr ? FlagsOfMode(mode) : -1;
  if (flags < 0) {
    errno = EINVAL;
    return nullptr;
  }
  Fd fd(OpenRegular(path, flags, 0666));
  if (fd.get() < 0) return nullptr;
  std::FILE* file = ::fdopen(fd.get(), mode);
  if (file != nullptr) fd.release();
  return file;
}

std::size_t WriteUnbuffered(std::FILE* file, const char* data, std::size_t size) {
  const int fd = ::fileno(file);
  std::size_t written = 0;
  while (written < size) {
    const ssize_t step = ::write(fd, data + written, size - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) break;
    written += static_cast<std::size_t>(step);
  }
  return written;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int MakeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0) return kOk;
  return TranslateNativeError(errno);
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (std::string::size_type pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      std::string prefix = path.substr(0, pos);
      if (!IsDirectory(prefix)) {
        int rc = MakeDirectory(prefix);
        if (rc != kOk && !IsDirectory(prefix)) return false;
      }
    }
  }
  return IsDirectory(path);
}

int RenameReplace(const std::string& from, const std::string& to) {
  return ResultOf(std::rename(from.c_str(), to.c_str()));
}

int RemoveFile(const std::string& path) { return ResultOf(::unlink(path.c_str())); }

std::string CurrentDirectory() {
  char buf[4096];
  if (::getcwd(buf, sizeof buf) == nullptr) return std::string();
  return std::string(buf);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries) {
  entries->clear();
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return false;
  while (struct dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    DirEntry entry;
    entry.name = e->d_name;
    // The entry itself first; a link is looked through only for isDirectory.
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      entry.isRegular = S_ISREG(st.st_mode);
      if (S_ISLNK(st.st_mode) && ::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0) st = {};
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.size = entry.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    }
    entries->push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

bool DiskFreeBytes(const std::string& path, uint64_t* freeBytes) {
  // A folder that does not exist yet is held by the volume of its nearest
  // existing ancestor.
  std::string probe = NearestExisting(path);
  struct statvfs sv {};
  if (probe.empty() || ::statvfs(probe.c_str(), &sv) != 0) return false;
  *freeBytes = static_cast<uint64_t>(sv.f_bavail) * static_cast<uint64_t>(sv.f_frsize);
  return true;
}

bool VolumeOf(const std::string& path, std::string* volume) {
  if (!IsAbsolutePath(path)) return false;
  std::string probe = NearestExisting(path);
  struct stat st {};
  if (probe.empty() || ::stat(probe.c_str(), &st) != 0) return false;
  *volume = std::to_string(static_cast<unsigned long long>(st.st_dev));
  return true;
}

bool IsReadWritable(const std::string& path) {
  return ::access(path.c_str(), R_OK | W_OK) == 0;
}

// ---- primitives of the shared file rules ----------------------------------------

namespace native {

int StatusOf(const std::string& path, FileStatus* status) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    *status = StatusFrom(st);
    return kOk;
  }
  if (errno == ENOENT) {
    *status = FileStatus();
    return kOk;
  }
  return TranslateNativeError(errno);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return kOk;
  // EINVAL: this file system does not know the flag.
  if (errno == EINVAL) errno = ENOTSUP;
  return TranslateNativeError(errno);
}

int Link(const std::string& existing, const std::string& newPath) {
  if (::link(existing.c_str(), newPath.c_str()) == 0) return kOk;
  // EPERM: a file system without hard links (FAT, many FUSE and network mounts).
  if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK) errno = ENOTSUP;
  return TranslateNativeError(errno);
}

int CopyToNewFile(const std::string& from, const std::string& to, const CopyObserver& observer,
                  FileStatus* before, FileStatus* after) {
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) return TranslateNativeError(errno);
  if (!S_ISREG(st.st_mode)) {
    errno = EISDIR;
    return kErrNotRegularFile;
  }
  Fd in(OpenRegular(from, O_RDONLY | O_NOFOLLOW, 0));
  if (in.get() < 0 || ::fstat(in.get(), &st) != 0) return TranslateNativeError(errno);
  *before = StatusFrom(st);
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
  if (out.get() < 0) return TranslateNativeError(errno);
  int rc = CopyBytes(in.get(), out.get(), observer);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (rc == kOk && ::futimens(out.get(), times) != 0) rc = TranslateNativeError(errno);
  if (rc == kOk && ::fsync(out.get()) != 0) rc = TranslateNativeError(errno);
  if (rc == kOk && ::fstat(in.get(), &st) != 0) rc = TranslateNativeError(errno);
  if (rc == kOk) *after = StatusFrom(st);
  if (::close(out.release()) != 0 && rc == kOk) rc = TranslateNativeError(errno);
  if (rc != kOk) {
    const int saved = errno;
    ::unlink(to.c_str());
    errno = saved;
  }
  return rc;
}

int SyncFolder(const std::string& folder) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return TranslateNativeError(errno);
  return ::fsync(fd.get()) == 0 ? kOk : TranslateNativeError(errno);
}

bool RefusesName(const std::string& /*name*/) { return false; }

void SetLastResult(int code) {
  switch (code) {
    case kOk: errno = 0; break;
    case kErrFileNotFound: errno = ENOENT; break;
    case kErrPathNotFound: errno = ENOTDIR; break;
    case kErrAccessDenied: errno = EACCES; break;
    case kErrSharingViolation: errno = EBUSY; break;
    case kErrNotSupported: errno = ENOTSUP; break;
    case kErrNotSameDevice: errno = EXDEV; break;
    case kErrFileExists:
    case kErrAlreadyExists: errno = EEXIST; break;
    case kErrDiskFull: errno = ENOSPC; break;
    case kErrInvalidName: errno = ENAMETOOLONG; break;
    case kErrNotRegularFile: errno = EISDIR; break;
    default: errno = EINVAL; break;
  }
}

}  // namespace native
}  // namespace platform
