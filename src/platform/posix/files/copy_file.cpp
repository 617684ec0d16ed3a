// CopyFileW on POSIX. Windows copies a file's contents, attributes and
// last-write time to the new name and keeps writers out of the source while it
// reads. Here the copy goes to a temporary file beside the destination that is
// renamed over it once complete and durable: the old file stays whole until
// that moment, and a program being updated while it runs keeps its own image.
#include "platform/posix/files/copy_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/files/descriptor.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/kept_source.h"
#include "platform/posix/files/name_lookup.h"
#include "platform/posix/files/path_errors.h"
#include "platform/posix/files/share_bounds.h"
#include "platform/posix/files/type_checked_open.h"
#include "platform/posix/files/write_path.h"
#include "platform/posix/win32_api.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

// FALSE, with the last error set from an errno value or to a code.
BOOL FalseWithErrno(int errnoValue) {
  SetLastErrorFromErrno(errnoValue);
  return FALSE;
}

BOOL FalseWithCode(DWORD code) {
  SetLastError(code);
  return FALSE;
}

// Whether the destination may be replaced, as Windows would decide it on
// opening the existing file for writing; the last error is set when not.
// `existing` receives the facts of the file that will be replaced, if any.
bool MayReplaceDestination(int folder, const std::string& name, const struct stat& source,
                           bool failIfExists, struct stat& existing, bool& exists) {
  exists = false;
  if (StatusAt(folder, name.c_str(), AT_SYMLINK_NOFOLLOW, existing) != 0) {
    if (errno == ENOENT) return true;
    SetLastErrorFromErrno(errno);
    return false;
  }
  if (failIfExists) {
    SetLastError(ERROR_FILE_EXISTS);
    return false;
  }
  if (S_ISDIR(existing.st_mode)) {
    SetLastErrorFromErrno(EISDIR);
    return false;
  }
  // A device or a FIFO in the program's place is nothing to replace, nor is
  // a link put there since the way to it was checked.
  if (!S_ISREG(existing.st_mode)) {
    SetLastErrorFromErrno(EACCES);
    return false;
  }
  // Windows keeps writers out of a file being read: copying a file onto
  // itself fails as a sharing violation.
  if (SameFile(existing, source)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  // The rename would ignore the old file's own permission, so it is checked
  // here. A file its owner may not write is read-only even for root, as the
  // read-only attribute is for a Windows administrator.
  if ((existing.st_mode & S_IWUSR) == 0) {
    SetLastErrorFromErrno(EACCES);
    return false;
  }
  if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  exists = true;
  return true;
}

// Where the copy goes. Windows writes through a link to a file: the file the
// link finally leads to is replaced, so that every install sharing it gets
// the update. A link is followed only where it may be (write_path.h); one
// that may not, anywhere on the way, is a refusal (EACCES). A link that
// leads nowhere at all (its target missing, a loop, or a target on no drive,
// which the lookup could not name either) is replaced itself, as a missing
// file is and as `install` replaces a link: `replaceLink` says so. Any other
// failure on the way to its target (an I/O error, a share gone stale, a file
// where a folder should be) fails the copy and leaves the link: a passing
// fault must not cut the workstation off a shared install. Returns 0 or the
// errno value of the failure.
int OpenDestination(const std::string& targetPath, Descriptor& folder, std::string& name,
                    bool& replaceLink) {
  std::string folderPath;
  folder.reset(OpenFolderForWriting(targetPath, false, folderPath, name));
  if (!folder.valid()) return errno;
  replaceLink = false;
  struct stat facts;
  if (StatusAt(folder.get(), name.c_str(), AT_SYMLINK_NOFOLLOW, facts) != 0 ||
      !S_ISLNK(facts.st_mode)) {
    return 0;
  }
  std::string finalPath;
  std::string finalName;
  Descriptor final(OpenFolderForWriting(JoinedPath(folderPath, name), true, finalPath, finalName));
  struct stat target;
  if (!final.valid()) {
    if (errno != ENOENT && errno != ELOOP) return errno;
  } else if (finalName.empty()) {
    return EISDIR;  // the link leads to a folder
  } else if (StatusAt(final.get(), finalName.c_str(), AT_SYMLINK_NOFOLLOW, target) != 0) {
    if (errno != ENOENT) return errno;
  } else if (LiesOnADrive(JoinedPath(finalPath, finalName))) {
    folder.reset(final.release());
    name = finalName;
    return 0;
  }
  replaceLink = true;
  return 0;
}

bool SameTime(const timespec& one, const timespec& other) {
  return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

// A source rewritten in place while it was read: its size or last-write time
// moved, or it did not hold as many bytes as it said. A writer may put the
// last-write time back; the change time only the kernel sets, so it moves
// too, unless the file's names changed as well: a new build published by
// renaming it over the name takes this file's name away, which moves the
// change time of a file that was not rewritten.
bool SourceChanged(const struct stat& before, const struct stat& after, off_t copied) {
  return copied != before.st_size || after.st_size != before.st_size ||
         !SameTime(after.st_mtim, before.st_mtim) ||
         (after.st_nlink == before.st_nlink && !SameTime(after.st_ctim, before.st_ctim));
}

// Makes a rename in the folder durable. A file system that can't sync a
// folder still has the file in place, so a failure here is not the copy's.
void SyncFolder(int folder) {
  Descriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.valid()) ::fsync(readable.get());
}

}  // namespace
}  // namespace posix

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  std::string sourcePath;
  std::string targetPath;
  if (!posix::HostPathOf(existingFileName, sourcePath)) return FALSE;
  if (!posix::HostPathOf(newFileName, targetPath)) return FALSE;

  // The file whose version was just read, as it was then; otherwise the name
  // is opened now. A FIFO or a device in the source's place is not opened: it
  // neither hangs the copy nor feels an open.
  struct stat before;
  posix::Descriptor source(posix::TakeKeptForCopy(existingFileName, before));
  if (!source.valid()) {
    source.reset(posix::OpenTypeChecked(sourcePath, O_RDONLY, before));
    if (!source.valid()) {
      posix::SetLastErrorForPath(errno, sourcePath);
      return FALSE;
    }
    if (S_ISDIR(before.st_mode)) return posix::FalseWithErrno(EISDIR);
    if (!S_ISREG(before.st_mode)) return posix::FalseWithErrno(EACCES);
    if (posix::LeavesItsShare(existingFileName, sourcePath, source.get())) {
      return posix::FalseWithErrno(EACCES);
    }
  }

  // A trailing separator names a folder, never the file to write.
  if (targetPath.back() == '/') return posix::FalseWithCode(ERROR_INVALID_NAME);
  posix::Descriptor folder(-1);
  std::string name;
  bool replaceLink = false;
  if (int failure = posix::OpenDestination(targetPath, folder, name, replaceLink)) {
    if (failure == ENOENT) return posix::FalseWithCode(ERROR_PATH_NOT_FOUND);
    return posix::FalseWithErrno(failure);
  }
  if (name.empty()) return posix::FalseWithCode(ERROR_INVALID_NAME);
  struct stat existing;
  bool exists = false;
  if (replaceLink) {
    if (failIfExists) return posix::FalseWithCode(ERROR_FILE_EXISTS);
  } else if (!posix::MayReplaceDestination(folder.get(), name, before, failIfExists, existing,
                                           exists)) {
    return FALSE;
  }

  // Copies left by runs that were killed before they finished go first: they
  // hold the space this copy needs.
  posix::RemoveStaleCopies(folder.get(), name);
  posix::TemporaryCopy copy;
  if (int failure = copy.Create(folder.get(), name)) {
    if (failure == ENOENT) return posix::FalseWithCode(ERROR_PATH_NOT_FOUND);  // folder gone
    return posix::FalseWithErrno(failure);
  }
  // Past the file-size limit the write fails with EFBIG, a full disk: the
  // fault handlers ignore SIGXFSZ (platform/fault_handler.h).
  off_t copied = 0;
  if (int failure = copy.Fill(source.get(), copied)) return posix::FalseWithErrno(failure);

  struct stat after;
  if (posix::StatusOf(source.get(), after) != 0) return posix::FalseWithErrno(errno);
  if (posix::SourceChanged(before, after, copied)) {
    return posix::FalseWithCode(ERROR_SHARING_VIOLATION);
  }

  if (int sealFailure = copy.Seal(before, exists ? &existing : nullptr)) return posix::FalseWithErrno(sealFailure);
  if (int replaceFailure = copy.Replace(name, failIfExists != FALSE)) {
    // Someone else's file took the name while we copied.
    if (replaceFailure == EEXIST) return posix::FalseWithCode(ERROR_FILE_EXISTS);
    return posix::FalseWithErrno(replaceFailure);
  }
  posix::SyncFolder(folder.get());
  return TRUE;
}
