// The file rules shared by every platform, built on the primitives of
// platform/NativeFiles.h: the move protocol, the temporary copies and their
// clean-up, regular-file checks and the names that may be joined to a folder.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "platform/NativeFiles.h"
#include "platform/Platform.h"
#include "util/Mutex.h"

namespace platform {
namespace {

const char kTemporaryPrefix[] = ".im_adapter_move_";
const char kTemporarySuffix[] = ".tmp";
constexpr int kTemporaryNameAttempts = 16;
constexpr size_t kCompareChunk = 1 << 16;

// ---- injected faults ----------------------------------------------------------

struct InjectedFaults {
  util::Mutex lock;
  FileFaultsForTest faults GUARDED_BY(lock);
};

InjectedFaults& Injected() {
  // Never destroyed, nor its lock: a migration or forwarding thread may still
  // move a file while the process ends.
  static InjectedFaults* const injected = new InjectedFaults();
  return *injected;
}

FileFaultsForTest Faults() {
  InjectedFaults& injected = Injected();
  util::MutexLock guard(injected.lock);
  return injected.faults;
}

int Fail(int code) {
  native::SetLastResult(code);
  return code;
}

int Rename(const FileFaultsForTest& faults, const std::string& from, const std::string& to) {
  if (faults.refuseNoReplaceRename) return Fail(kErrNotSupported);
  return native::RenameNoReplace(from, to);
}

int Link(const FileFaultsForTest& faults, const std::string& existing, const std::string& to) {
  if (faults.refuseHardLinks) return Fail(kErrNotSupported);
  return native::Link(existing, to);
}

// Removes path without disturbing the native error of the failure being reported.
void RemoveQuietly(const std::string& path) {
  const int code = LastError();
  RemoveFile(path);
  native::SetLastResult(code);
}

// ---- paths --------------------------------------------------------------------

// The folder that holds path ("." for a bare name; a root keeps its separator).
std::string FolderOf(const std::string& path) {
  size_t pos = path.size();
  while (pos > 0 && !IsPathSeparator(path[pos - 1])) --pos;
  if (pos == 0) return ".";
  if (pos == 1 || path[pos - 2] == ':') return path.substr(0, pos);
  return path.substr(0, pos - 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && IsPathSeparator(folder.back())) return folder + name;
  return folder + PathSeparator() + name;
}

// ---- temporary copies ---------------------------------------------------------

// The temporary copies this process is writing, so that a clean-up running at
// the same time (a new migration beside a forwarding copy) leaves them alone.
struct LivePaths {
  util::Mutex lock;
  std::set<std::string> paths GUARDED_BY(lock);
};

LivePaths& Live() {
  // Never destroyed, nor its lock: a migration or forwarding thread may still
  // be copying (and drop its temporary from the set) while the process ends.
  static LivePaths* const live = new LivePaths();
  return *live;
}

// A fresh temporary name in a folder, registered as live for its lifetime.
class LiveTemporary {
 public:
  explicit LiveTemporary(const std::string& folder) {
    static std::atomic<uint64_t> counter{0};
    path_ = InFolder(folder, kTemporaryPrefix + std::to_string(ProcessId()) + "_" +
                                 std::to_string(ThreadId()) + "_" +
                                 std::to_string(counter.fetch_add(1)) + kTemporarySuffix);
    LivePaths& live = Live();
    util::MutexLock guard(live.lock);
    live.paths.insert(path_);
  }
  ~LiveTemporary() {
    LivePaths& live = Live();
    util::MutexLock guard(live.lock);
    live.paths.erase(path_);
  }
  LiveTemporary(const LiveTemporary&) = delete;
  LiveTemporary& operator=(const LiveTemporary&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool IsLive(const std::string& path) {
  LivePaths& live = Live();
  util::MutexLock guard(live.lock);
  return live.paths.count(path) != 0;
}

// ---- copies ---------------------------------------------------------------------

// native::CopyToNewFile with the injected faults.
int CopyWithFaults(const FileFaultsForTest& faults, const std::string& from, const std::string& to,
                   native::FileStatus* before, native::FileStatus* after) {
  bool changed = false;
  auto observer = [&](uint64_t copied) {
    if (faults.duringCopy && !changed) {
      changed = true;
      faults.duringCopy(from);
    }
    if (faults.failCopyAfterBytes >= 0 &&
        copied >= static_cast<uint64_t>(faults.failCopyAfterBytes)) {
      return Fail(kErrDiskFull);
    }
    return kOk;
  };
  return native::CopyToNewFile(from, to, observer, before, after);
}

// Copies from into the new file to and checks that the source stayed as it was
// when the move began (source): a writer still at work would lose what it
// writes after the copy. On a change the copy goes: kErrSharingViolation.
int CopyUnchanged(const FileFaultsForTest& faults, const std::string& from, const std::string& to,
                  const native::FileStatus& source) {
  native::FileStatus before;
  native::FileStatus after;
  const int rc = CopyWithFaults(faults, from, to, &before, &after);
  if (rc != kOk) return rc;
  if (before != source || after != source) {
    RemoveFile(to);
    return Fail(kErrSharingViolation);
  }
  return kOk;
}

// Puts a copy in place of the temporary `from` (kept on failure), never
// replacing: rename, else link and unlink. kErrNotSupported when the volume
// has neither.
int PlaceNoReplace(const FileFaultsForTest& faults, const std::string& from,
                   const std::string& to) {
  int rc = Rename(faults, from, to);
  if (rc != kErrNotSupported) return rc;
  rc = Link(faults, from, to);
  if (rc != kOk) return rc;
  // Both names now hold the one file; losing the old name is all that is left.
  return RemoveFile(from);
}

// The fallback of a volume without a no-replace rename nor hard links: the
// exclusive create of the destination is what keeps an existing file from
// being replaced. (A process killed during this copy leaves a partial file
// under the destination's name, beside the whole source.)
int CopyInPlace(const FileFaultsForTest& faults, const std::string& from, const std::string& to,
                const native::FileStatus& source) {
  int rc = CopyUnchanged(faults, from, to, source);
  if (rc != kOk) return rc;
  rc = native::SyncFolder(FolderOf(to));
  if (rc != kOk) return rc;
  return RemoveFile(from);
}

// Across volumes: copy under a temporary name beside the destination, flush,
// put it in place without replacing, and only then remove the source.
int CopyAcross(const FileFaultsForTest& faults, const std::string& from, const std::string& to,
               const native::FileStatus& source) {
  if (PathExists(to)) return Fail(kErrAlreadyExists);
  const std::string folder = FolderOf(to);
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    LiveTemporary temporary(folder);
    int rc = CopyUnchanged(faults, from, temporary.path(), source);
    if (rc == kErrAlreadyExists) continue;  // a file of that name is not ours: the next name
    if (rc != kOk) return rc;
    rc = PlaceNoReplace(faults, temporary.path(), to);
    if (rc == kErrNotSupported) {
      RemoveFile(temporary.path());
      return CopyInPlace(faults, from, to, source);
    }
    if (rc != kOk) {
      RemoveQuietly(temporary.path());
      return rc;
    }
    // The new name must be on disk before the only other copy goes away.
    rc = native::SyncFolder(folder);
    if (rc != kOk) return rc;
    return RemoveFile(from);
  }
  return Fail(kErrAlreadyExists);
}

// True when the two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> fa(OpenFile(a, "rb"));
  std::unique_ptr<std::FILE, Closer> fb(OpenFile(b, "rb"));
  if (!fa || !fb) return false;
  std::unique_ptr<char[]> bufA(new char[kCompareChunk]);
  std::unique_ptr<char[]> bufB(new char[kCompareChunk]);
  for (;;) {
    const size_t na = std::fread(bufA.get(), 1, kCompareChunk, fa.get());
    const size_t nb = std::fread(bufB.get(), 1, kCompareChunk, fb.get());
    if (na != nb || std::memcmp(bufA.get(), bufB.get(), na) != 0) return false;
    if (na < kCompareChunk) return std::ferror(fa.get()) == 0 && std::ferror(fb.get()) == 0;
  }
}

// The destination exists. An existing destination keeps the source where it
// is (kErrAlreadyExists), with one exception of our own: when it is the whole
// copy that a killed run already put in place (same size, time and bytes), the
// move ends here and the source goes, so that no file stays in two places.
int CompleteIfWholeCopy(const std::string& from, const std::string& to,
                        const native::FileStatus& source) {
  native::FileStatus existing;
  if (native::StatusOf(to, &existing) == kOk && existing == source && SameBytes(from, to)) {
    return RemoveFile(from);
  }
  return Fail(kErrAlreadyExists);
}

// kOk when from is a regular file, with its status in *source.
int CheckedSource(const std::string& from, native::FileStatus* source) {
  const int rc = native::StatusOf(from, source);
  if (rc != kOk) return rc;
  if (source->kind == native::FileKind::kMissing) return Fail(kErrFileNotFound);
  if (source->kind != native::FileKind::kRegular) return Fail(kErrNotRegularFile);
  return kOk;
}

// A listed source is checked only when the rename did not place it: the copy
// and completion paths need its status. The listing's check and a check here
// leave the same window (the entry may change before the rename), so the
// rename path costs one call, as a shell move does.
int MoveNoReplace(const std::string& from, const std::string& to, bool listedRegular) {
  native::FileStatus source;
  int rc = listedRegular ? kOk : CheckedSource(from, &source);
  if (rc != kOk) return rc;
  const FileFaultsForTest faults = Faults();
  rc = faults.treatAsOtherVolume ? kErrNotSameDevice : PlaceNoReplace(faults, from, to);
  const bool copyPath = rc == kErrNotSameDevice || rc == kErrNotSupported ||
                        rc == kErrAlreadyExists || rc == kErrFileExists;
  if (!copyPath) return rc;
  if (listedRegular) {
    const int checked = CheckedSource(from, &source);
    if (checked != kOk) return checked;
  }
  if (rc == kErrNotSameDevice) rc = CopyAcross(faults, from, to, source);
  if (rc == kErrNotSupported) rc = CopyInPlace(faults, from, to, source);
  if (rc == kErrAlreadyExists || rc == kErrFileExists) rc = CompleteIfWholeCopy(from, to, source);
  return rc;
}

}  // namespace

bool IsRegularFile(const std::string& path) {
  native::FileStatus status;
  return native::StatusOf(path, &status) == kOk && status.kind == native::FileKind::kRegular;
}

int CreateHardLink(const std::string& existing, const std::string& newPath) {
  native::FileStatus status;
  const int rc = native::StatusOf(existing, &status);
  if (rc != kOk) return rc;
  if (status.kind == native::FileKind::kMissing) return Fail(kErrFileNotFound);
  if (status.kind != native::FileKind::kRegular) return Fail(kErrNotRegularFile);
  return Link(Faults(), existing, newPath);
}

int CopyFileOverwrite(const std::string& from, const std::string& to) {
  const FileFaultsForTest faults = Faults();
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    LiveTemporary temporary(FolderOf(to));
    native::FileStatus before;
    native::FileStatus after;
    int rc = CopyWithFaults(faults, from, temporary.path(), &before, &after);
    if (rc == kErrAlreadyExists) continue;
    if (rc != kOk) return rc;
    rc = RenameReplace(temporary.path(), to);
    if (rc != kOk) RemoveQuietly(temporary.path());
    return rc;
  }
  return Fail(kErrAlreadyExists);
}

int MoveFileNoReplace(const std::string& from, const std::string& to) {
  return MoveNoReplace(from, to, /*listedRegular=*/false);
}

int MoveListedFileNoReplace(const std::string& from, const std::string& to) {
  return MoveNoReplace(from, to, /*listedRegular=*/true);
}

bool IsTemporaryName(const std::string& name) {
  const size_t prefix = sizeof kTemporaryPrefix - 1;
  const size_t suffix = sizeof kTemporarySuffix - 1;
  return name.size() > prefix + suffix && name.compare(0, prefix, kTemporaryPrefix) == 0 &&
         name.compare(name.size() - suffix, suffix, kTemporarySuffix) == 0;
}

int RemoveStaleTemporaries(const std::string& folder) {
  std::vector<DirEntry> entries;
  if (!ListDirectory(folder, &entries)) return 0;
  int removed = 0;
  for (const DirEntry& entry : entries) {
    if (entry.isDirectory || !IsTemporaryName(entry.name)) continue;
    const std::string path = InFolder(folder, entry.name);
    if (!IsLive(path) && RemoveFile(path) == kOk) ++removed;
  }
  return removed;
}

bool IsValidFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
  return !native::RefusesName(name);
}

bool JoinName(const std::string& folder, const std::string& name, std::string* out) {
  if (folder.empty() || !IsValidFileName(name)) return false;
  *out = InFolder(folder, name);
  return true;
}

void SetFileFaultsForTest(const FileFaultsForTest& faults) {
  InjectedFaults& injected = Injected();
  util::MutexLock guard(injected.lock);
  injected.faults = faults;
}

}  // namespace platform
