// The file primitives each platform implements for the shared file rules of
// platform/Files.cpp (the move protocol, temporary copies, file names). Not
// part of the platform interface: only platform/ includes this header.
//
// Every function returns an adapter result code and leaves the native error
// (errno / GetLastError) describing a failure, so LastErrorText() explains it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {
namespace native {

enum class FileKind { kMissing, kRegular, kDirectory, kOther };

// What the move protocol compares of a file: a source whose size or
// modification time changed while it was copied is not deleted.
struct FileStatus {
  FileKind kind = FileKind::kMissing;
  uint64_t size = 0;
  int64_t modified = 0;  // modification time in the platform's finest unit
  bool operator==(const FileStatus& o) const {
    return kind == o.kind && size == o.size && modified == o.modified;
  }
  bool operator!=(const FileStatus& o) const { return !(*this == o); }
};

// The status of path itself (a symbolic link is not followed: it is kOther).
// kOk with kind kMissing when nothing is there.
int StatusOf(const std::string& path, FileStatus* status);

// Renames without ever replacing: kOk; kErrAlreadyExists when to exists;
// kErrNotSameDevice across volumes; kErrNotSupported when the volume refuses
// a rename that does not replace.
int RenameNoReplace(const std::string& from, const std::string& to);

// Creates newPath as a hard link to existing: kOk; kErrAlreadyExists;
// kErrNotSupported when the volume has no hard links.
int Link(const std::string& existing, const std::string& newPath);

// Called after each chunk of a copy with the bytes copied so far; a code other
// than kOk stops the copy with that result (test faults).
using CopyObserver = std::function<int(uint64_t copied)>;

// Copies the regular file from into the new file to (created exclusively:
// kErrAlreadyExists when to exists), flushes it to disk and gives it from's
// modification time. A source that is not a regular file is refused with
// kErrNotRegularFile without being opened for reading. *before and *after are
// the source's status when opened and when the copy ended. On any failure to
// is removed: a failed copy leaves nothing at its destination.
int CopyToNewFile(const std::string& from, const std::string& to, const CopyObserver& observer,
                  FileStatus* before, FileStatus* after);

// Makes a folder's new entries durable (a no-op where the file system
// journals them).
int SyncFolder(const std::string& folder);

// True when this platform refuses name as a folder entry beyond the rules
// that hold everywhere (those IsValidFileName checks first).
bool RefusesName(const std::string& name);

// Sets the native error so that LastError() gives code.
void SetLastResult(int code);

}  // namespace native
}  // namespace platform
