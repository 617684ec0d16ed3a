// Creating one folder.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"
#include "platform/posix/files/write_path.h"

namespace {

// rwxr-xr-x, as `install -d` leaves a folder: the suite's folders are read
// and run by every user of the machine, whatever the umask of the one whose
// run happened to create them (a login script under umask 077 would
// otherwise lock every other user out of the programs).
constexpr mode_t kFolderMode = 0755;

// Whether a Windows path (X:, X:\, X:\..) names the root of its drive.
bool IsDriveRoot(LPCWSTR pathName, const std::string& hostPath) {
  std::string root;
  if (pathName == nullptr || pathName[0] == 0 || pathName[1] != u':' ||
      !posix::DriveRootOf(pathName[0], root)) {
    return false;
  }
  return posix::WithoutTrailingSlashes(hostPath) == root;
}

}  // namespace

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  std::string hostPath;
  if (!posix::HostPathOf(pathName, hostPath)) return FALSE;
  // A drive is not a folder to create: a root that is missing (a mistyped
  // RUD_DRIVE_C) is a missing drive, not a new folder to install into.
  if (IsDriveRoot(pathName, hostPath)) {
    SetLastError(posix::IsHostFolder(hostPath) ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // Reached through trusted links only: a folder link that another user
  // planted on the way is a refusal, not a place to make folders in.
  std::string parentPath;
  std::string name;
  const int parent = posix::OpenFolderForWriting(hostPath, false, parentPath, name);
  if (parent < 0 || mkdirat(parent, name.c_str(), kFolderMode) != 0) {
    const int failure = errno;
    if (parent >= 0) close(parent);
    posix::SetLastErrorForPath(failure, hostPath);
    return FALSE;
  }
  // mkdir leaves out what the umask masks; the mode is set again in full,
  // through the new folder itself: a link put in its place meanwhile is not
  // followed. The folder is made either way: a refusal here leaves it as the
  // umask made it, and the copy that follows reports what it can't do.
  const int made = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (made >= 0) {
    fchmod(made, kFolderMode);
    close(made);
  }
  close(parent);
  return TRUE;
}
