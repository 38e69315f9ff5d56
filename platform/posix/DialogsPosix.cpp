// POSIX dialogs: zenity as a child process (see DialogsPosix.h).
#include "platform/posix/DialogsPosix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/Platform.h"

extern char** environ;

namespace platform {
namespace {

// The chosen path is short; anything beyond these limits is read and dropped
// so that the child never blocks on a full pipe.
constexpr size_t kMaxStdout = 64 * 1024;
constexpr size_t kMaxStderr = 4 * 1024;
constexpr size_t kMaxDetail = 200;
// How often the child's exit is checked while its dialog is open.
constexpr int kPollMs = 100;

// Owns one file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Both ends of a close-on-exec pipe.
struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

bool OpenPipe(Pipe* p) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  p->read.Reset(fds[0]);
  p->write.Reset(fds[1]);
  return true;
}

// Owns the file actions of one spawn.
class SpawnFileActions {
 public:
  SpawnFileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() {
    if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  bool ok() const { return ok_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ok_ = false;
};

// Owns the attributes of one spawn.
class SpawnAttributes {
 public:
  SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attr_) == 0; }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  ~SpawnAttributes() {
    if (ok_) ::posix_spawnattr_destroy(&attr_);
  }
  bool ok() const { return ok_; }
  posix_spawnattr_t* get() { return &attr_; }

 private:
  posix_spawnattr_t attr_;
  bool ok_ = false;
};

struct ChildRun {
  int exitStatus = -1;  // when exited normally
  int signal = 0;       // when ended by a signal
  bool reaped = false;  // ended, but the system reaped it (SIGCHLD ignored): no status
  std::string out;
  std::string err;
};

std::string ErrnoText(int err) { return std::strerror(err); }

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The full path of program: itself when it holds a "/", else the first
// executable match in PATH. "" when there is none.
std::string FindProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : "";
  const char* pathVar = std::getenv("PATH");
  std::string dirs = pathVar != nullptr ? pathVar : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + program;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return "";
}

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

void Append(std::string* to, const char* data, size_t n, size_t limit) {
  if (to->size() < limit) to->append(data, std::min(n, limit - to->size()));
}

// Reads what fd holds now into sink. False once the pipe is closed (end of
// file or an error), true when it is merely empty for the moment.
bool ReadAvailable(int fd, std::string* sink, size_t limit) {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      Append(sink, buf, static_cast<size_t>(n), limit);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
  }
}

// waitpid, repeated when a signal interrupts it.
pid_t WaitPid(pid_t pid, int* status, int options) {
  pid_t rc;
  do {
    rc = ::waitpid(pid, status, options);
  } while (rc < 0 && errno == EINTR);
  return rc;
}

void RecordStatus(int status, ChildRun* run) {
  if (WIFEXITED(status)) run->exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run->signal = WTERMSIG(status);
}

// Collects the child's standard output and error until it has exited. It
// does not wait for the pipes to close: a process that the dialog's toolkit
// started (a session bus, say) may keep them open long after the dialog is
// gone. Returns 0, or the errno of a failed poll or wait (after a failed
// poll the child is killed).
int CollectUntilExit(pid_t pid, int outFd, int errFd, ChildRun* run) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&run->out, &run->err};
  const size_t limits[2] = {kMaxStdout, kMaxStderr};
  for (int i = 0; i < 2; ++i) ::fcntl(fds[i].fd, F_SETFL, O_NONBLOCK);
  for (;;) {
    if (::poll(fds, 2, kPollMs) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && !ReadAvailable(fds[i].fd, sinks[i], limits[i])) fds[i].fd = -1;
    }
    const bool pipesClosed = fds[0].fd < 0 && fds[1].fd < 0;
    int status = 0;
    pid_t rc = WaitPid(pid, &status, pipesClosed ? 0 : WNOHANG);
    if (rc == pid) {
      // Everything the child wrote before it ended is in the pipes now.
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd >= 0) ReadAvailable(fds[i].fd, sinks[i], limits[i]);
      }
      RecordStatus(status, run);
      return 0;
    }
    if (rc < 0 && errno == ECHILD) {
      // A host that ignores SIGCHLD has the system reap its children: the
      // child has ended and its status is gone, but what it wrote is in the pipes.
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd >= 0) ReadAvailable(fds[i].fd, sinks[i], limits[i]);
      }
      run->reaped = true;
      return 0;
    }
    if (rc < 0) return errno;
  }
  const int pollError = errno;
  ::kill(pid, SIGKILL);
  WaitPid(pid, nullptr, 0);
  return pollError;
}

// Fills the spawn's file actions: stdin from /dev/null, stdout and stderr to
// the pipes, every other descriptor closed.
bool PrepareFileActions(SpawnFileActions* actions, const Pipe& out, const Pipe& err) {
  posix_spawn_file_actions_t* a = actions->get();
  if (::posix_spawn_file_actions_addopen(a, 0, "/dev/null", O_RDONLY, 0) != 0) return false;
  if (::posix_spawn_file_actions_adddup2(a, out.write.Get(), 1) != 0) return false;
  if (::posix_spawn_file_actions_adddup2(a, err.write.Get(), 2) != 0) return false;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  if (::posix_spawn_file_actions_addclosefrom_np(a, 3) != 0) return false;
#endif
  return true;
}

// The child starts with default signal handling and an empty signal mask, so
// that a host that ignores SIGPIPE or blocks signals does not pass that on.
bool PrepareAttributes(SpawnAttributes* attributes) {
  sigset_t none;
  sigset_t defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_t* a = attributes->get();
  return ::posix_spawnattr_setsigmask(a, &none) == 0 &&
         ::posix_spawnattr_setsigdefault(a, &defaults) == 0 &&
         ::posix_spawnattr_setflags(a, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
}

// NULL-terminated pointers to the texts (which must outlive them).
std::vector<char*> PointersTo(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (const std::string& t : texts) pointers.push_back(const_cast<char*>(t.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

std::vector<std::string> ParentEnvironment() {
  std::vector<std::string> entries;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) entries.emplace_back(*e);
  return entries;
}

// Runs path with args, collects its output and waits for it. "" on success,
// else why it could not run.
std::string RunChild(const std::string& path, const std::vector<std::string>& args, ChildRun* run) {
  Pipe out;
  Pipe err;
  if (!OpenPipe(&out) || !OpenPipe(&err)) return "cannot create a pipe: " + ErrnoText(errno);
  SpawnFileActions actions;
  SpawnAttributes attributes;
  if (!actions.ok() || !attributes.ok() || !PrepareFileActions(&actions, out, err) ||
      !PrepareAttributes(&attributes)) {
    return "cannot prepare the child process";
  }
  std::vector<std::string> argvTexts = {path};
  argvTexts.insert(argvTexts.end(), args.begin(), args.end());
  std::vector<char*> argv = PointersTo(argvTexts);
  const std::vector<std::string> envTexts =
      ZenityDialogBackend::ChildEnvironment(ParentEnvironment());
  std::vector<char*> envp = PointersTo(envTexts);

  pid_t pid = -1;
  int rc =
      ::posix_spawn(&pid, path.c_str(), actions.get(), attributes.get(), argv.data(), envp.data());
  if (rc != 0) return "cannot start " + path + ": " + ErrnoText(rc);
  out.write.Reset();
  err.write.Reset();
  const int error = CollectUntilExit(pid, out.read.Get(), err.read.Get(), run);
  return error == 0 ? "" : "cannot follow " + path + ": " + ErrnoText(error);
}

// The last non-empty line of a stderr text, shortened for a log line.
std::string LastLine(const std::string& text) {
  size_t end = text.find_last_not_of("\r\n \t");
  if (end == std::string::npos) return "";
  size_t start = text.find_last_of('\n', end);
  start = (start == std::string::npos) ? 0 : start + 1;
  std::string line = text.substr(start, end + 1 - start);
  if (line.size() > kMaxDetail) line.resize(kMaxDetail);
  return line;
}

DialogOutcome Failed(std::string detail) {
  DialogOutcome outcome;
  outcome.status = DialogStatus::kFailed;
  outcome.errorCode = kDialogErrUnavailable;
  outcome.detail = std::move(detail);
  return outcome;
}

std::string WithStderr(std::string text, const std::string& err) {
  std::string last = LastLine(err);
  if (!last.empty()) text += " (" + last + ")";
  return text;
}

// What one finished zenity run means.
DialogOutcome Interpret(const ChildRun& run) {
  if (run.signal != 0) return Failed("zenity was ended by signal " + std::to_string(run.signal));
  // A reaped child (SIGCHLD ignored by the host) left no status: a path
  // printed is a choice, silence a cancel.
  const bool cancelOrFailure = run.reaped ? run.out.empty() : run.exitStatus == 1;
  if (cancelOrFailure && run.err.find("cannot open display") != std::string::npos) {
    return Failed(WithStderr("zenity cannot open the display", run.err));
  }
  if (cancelOrFailure) return DialogOutcome();  // the user cancelled
  if (!run.reaped && run.exitStatus != 0) {
    return Failed(
        WithStderr("zenity exited with status " + std::to_string(run.exitStatus), run.err));
  }
  DialogOutcome outcome;
  std::string path = run.out;
  if (!path.empty() && path.back() == '\n') path.pop_back();
  if (path.empty()) return outcome;  // nothing chosen
  outcome.status = DialogStatus::kChosen;
  outcome.path = std::move(path);
  return outcome;
}

// zenity refuses a window id beyond 32 bits (and no X window id is one), so
// such an owner is left out and the dialog shows without one.
void AddOwner(int64_t owner, std::vector<std::string>* args) {
  if (owner > 0 && owner <= static_cast<int64_t>(UINT32_MAX)) {
    args->push_back("--attach=" + std::to_string(owner));
  }
}

const char kUtf8Locale[] = "C.UTF-8";

bool NamesUtf8(const std::string& locale) {
  std::string lower;
  for (char c : locale) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}

// Index of the entry "name=…" in env, or -1.
int FindEntry(const std::vector<std::string>& env, const std::string& name) {
  const std::string prefix = name + "=";
  for (size_t i = 0; i < env.size(); ++i) {
    if (env[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
  }
  return -1;
}

// The value of name in env; "" when it is missing.
std::string ValueOf(const std::vector<std::string>& env, const std::string& name) {
  int i = FindEntry(env, name);
  return i < 0 ? std::string() : env[static_cast<size_t>(i)].substr(name.size() + 1);
}

void SetEntry(std::vector<std::string>* env, const std::string& name, const std::string& value) {
  int i = FindEntry(*env, name);
  if (i < 0) {
    env->push_back(name + "=" + value);
  } else {
    (*env)[static_cast<size_t>(i)] = name + "=" + value;
  }
}

}  // namespace

std::vector<std::string> ZenityDialogBackend::ChildEnvironment(
    const std::vector<std::string>& parent) {
  std::vector<std::string> env = parent;
  const std::string all = ValueOf(env, "LC_ALL");
  if (!all.empty()) {
    if (!NamesUtf8(all)) SetEntry(&env, "LC_ALL", kUtf8Locale);
    return env;
  }
  std::string ctype = ValueOf(env, "LC_CTYPE");
  if (ctype.empty()) ctype = ValueOf(env, "LANG");
  if (!NamesUtf8(ctype)) SetEntry(&env, "LC_CTYPE", kUtf8Locale);
  return env;
}

ZenityDialogBackend::ZenityDialogBackend(std::string program, bool checkDisplay)
    : program_(std::move(program)), checkDisplay_(checkDisplay) {}

std::vector<std::string> ZenityDialogBackend::SaveFileArguments(
    const SaveFileDialogOptions& options) {
  std::vector<std::string> args = {"--file-selection", "--save", "--confirm-overwrite"};
  if (!options.fileName.empty()) args.push_back("--filename=" + options.fileName);
  FileFilter filter = SaveFileFilter(options.fileType, options.suffix);
  std::string patterns;
  for (const std::string& p : filter.patterns) patterns += (patterns.empty() ? "" : " ") + p;
  args.push_back("--file-filter=" + filter.description + " | " + patterns);
  AddOwner(options.owner, &args);
  return args;
}

std::vector<std::string> ZenityDialogBackend::ChooseFolderArguments(
    const ChooseFolderDialogOptions& options) {
  std::vector<std::string> args = {"--file-selection", "--directory"};
  if (!options.title.empty()) args.push_back("--title=" + options.title);
  if (!options.defaultPath.empty()) {
    // A trailing "/" makes zenity open inside the folder instead of selecting
    // it in its parent.
    std::string folder = options.defaultPath;
    if (folder.back() != '/') folder += '/';
    args.push_back("--filename=" + folder);
  }
  AddOwner(options.owner, &args);
  return args;
}

DialogOutcome ZenityDialogBackend::SaveFile(const SaveFileDialogOptions& options) {
  return Run(SaveFileArguments(options));
}

DialogOutcome ZenityDialogBackend::ChooseFolder(const ChooseFolderDialogOptions& options) {
  return Run(ChooseFolderArguments(options));
}

DialogOutcome ZenityDialogBackend::Run(const std::vector<std::string>& arguments) const {
  std::string path = FindProgram(program_);
  if (path.empty()) {
    return Failed("dialog program " + program_ + " not found (install the zenity package)");
  }
  if (checkDisplay_ && !HasDisplay()) {
    return Failed("no display to show the dialog on (DISPLAY is not set)");
  }
  ChildRun run;
  std::string error = RunChild(path, arguments, &run);
  if (!error.empty()) return Failed(error);
  return Interpret(run);
}

DialogBackend& NativeDialogBackend() {
  // Never destroyed: the service thread may still be in a dialog while the process ends.
  static ZenityDialogBackend* const backend = new ZenityDialogBackend();
  return *backend;
}

bool DialogPathExists(const std::string& path) { return !path.empty() && PathExists(path); }

bool IsDialogPathWritable(const std::string& path) { return !path.empty() && IsReadWritable(path); }

}  // namespace platform
