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

// Copies from → to (a new file; O_EXCL when exclusive), fsyncs it. Returns a result code.
int CopyData(const std::string& from, const std::string& to, bool exclusive) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return TranslateNativeError(errno);
  struct stat st {};
  if (::fstat(in, &st) != 0) {
    int e = errno;
    ::close(in);
    return TranslateNativeError(e);
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  int out = ::open(to.c_str(), flags, st.st_mode & 0777);
  if (out < 0) {
    int e = errno;
    ::close(in);
    return TranslateNativeError(e);
  }
  int result = kOk;
  int failure = 0;  // errno of the first failure, restored for the caller's log line
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      result = TranslateNativeError(errno);
      break;
    }
    if (n == 0) break;
    ssize_t off = 0;
    while (off < n) {
      ssize_t w = ::write(out, buf + off, static_cast<size_t>(n - off));
      if (w < 0) {
        if (errno == EINTR) continue;
        failure = errno;
        result = TranslateNativeError(errno);
        break;
      }
      off += w;
    }
    if (result != kOk) break;
  }
  if (result == kOk && ::fsync(out) != 0) {
    failure = errno;
    result = TranslateNativeError(errno);
  }
  if (::close(out) != 0 && result == kOk) {
    failure = errno;
    result = TranslateNativeError(errno);
  }
  ::close(in);
  if (result != kOk) errno = failure;
  return result;
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

// Removes a file left by a failed step without disturbing errno, which still
// describes the failure the caller reports.
void UnlinkKeepingErrno(const std::string& path) {
  int saved = errno;
  ::unlink(path.c_str());
  errno = saved;
}

int SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return TranslateNativeError(errno);
  int rc = ::fsync(fd) == 0 ? kOk : TranslateNativeError(errno);
  int saved = errno;
  ::close(fd);
  errno = saved;
  return rc;
}

// Copies from into a new temporary file of folder dir, named so that it never
// meets another move's temporary (pid, thread, counter; retried on a clash).
// On success *tmp names the flushed copy; on failure nothing is left behind.
int CopyToFreshTemporary(const std::string& from, const std::string& dir, std::string* tmp) {
  static std::atomic<uint64_t> counter{0};
  for (int attempt = 0; attempt < 16; ++attempt) {
    *tmp = dir + "/.im_adapter_move_" + std::to_string(::getpid()) + "_" +
           std::to_string(static_cast<uint64_t>(::syscall(SYS_gettid))) + "_" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
    int rc = CopyData(from, *tmp, /*exclusive=*/true);
    if (rc == kOk) return kOk;
    // O_EXCL refused the name: the file there is not ours; take the next name.
    if (rc == kErrAlreadyExists) continue;
    UnlinkKeepingErrno(*tmp);
    return rc;
  }
  errno = EEXIST;
  return kErrGeneric;
}

// Gives the copy the source's times and permission bits (best effort: a copy
// that keeps its own times is still whole).
void KeepTimesAndMode(const struct stat& source, const std::string& path) {
  int saved = errno;
  struct timespec times[2] = {source.st_atim, source.st_mtim};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  ::chmod(path.c_str(), source.st_mode & 07777);
  errno = saved;
}

// rename() that never replaces: renameat2(RENAME_NOREPLACE), or link+unlink where
// the filesystem does not support the flag.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return kOk;
  if (errno != EINVAL && errno != ENOSYS) return TranslateNativeError(errno);
  if (::link(from.c_str(), to.c_str()) != 0) return TranslateNativeError(errno);
  if (::unlink(from.c_str()) != 0) return TranslateNativeError(errno);
  return kOk;
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
  return std::fopen(path.c_str(), mode);
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
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0) {
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.size = entry.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    }
    entries->push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

int CreateHardLink(const std::string& existing, const std::string& newPath) {
  return ResultOf(::link(existing.c_str(), newPath.c_str()));
}

int CopyFileOverwrite(const std::string& from, const std::string& to) {
  return CopyData(from, to, /*exclusive=*/false);
}

int MoveFileNoReplace(const std::string& from, const std::string& to) {
  int rc = RenameNoReplace(from, to);
  if (rc != kErrNotSameDevice) return rc;
  // Across volumes: copy under a temporary name beside the destination, flush,
  // put it in place without replacing, and only then remove the source.
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) return TranslateNativeError(errno);
  if (!S_ISREG(st.st_mode)) {
    // Only regular files are copied: a FIFO would block the copy, and a link
    // or device would not arrive as what it was.
    errno = EXDEV;
    return kErrNotSameDevice;
  }
  if (PathExists(to)) {
    errno = EEXIST;
    return kErrAlreadyExists;
  }
  std::string tmp;
  rc = CopyToFreshTemporary(from, ParentOf(to), &tmp);
  if (rc != kOk) return rc;
  KeepTimesAndMode(st, tmp);
  rc = RenameNoReplace(tmp, to);
  if (rc != kOk) {
    UnlinkKeepingErrno(tmp);
    return rc;
  }
  // The new name must be on disk before the only other copy goes away.
  rc = SyncDirectory(ParentOf(to));
  if (rc != kOk) return rc;
  if (::unlink(from.c_str()) != 0) return TranslateNativeError(errno);
  return kOk;
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

}  // namespace platform
