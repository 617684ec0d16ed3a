// Creating one folder.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix/files/descriptor.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"
#include "platform/posix/files/write_path.h"

namespace {

// rwxr-xr-x, as `install -d` leaves a folder: the suite's folders are read
// and run by every user of the machine, whatever the umask of the one whose
// run happened to create them (a login script under umask 077 would
// otherwise lock every other user out of the programs, and a user's umask
// 0477 would lock even that user out of the folder just made).
constexpr mode_t kFolderMode = 0755;

// mkdir with the mode in full: the umask is set aside for the one call, so
// the folder is never, not even for a moment, left with less. The process
// has one thread; nothing else creates files meanwhile.
int MakeFolder(int parent, const std::string& name) {
  const mode_t umask = ::umask(0);
  const int made = ::mkdirat(parent, name.c_str(), kFolderMode);
  const int failure = errno;
  ::umask(umask);
  errno = failure;
  return made;
}

}  // namespace

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  std::string hostPath;
  if (!posix::HostPathOf(pathName, hostPath)) return FALSE;
  // A drive is not a folder to create: a root that is missing (a mistyped
  // RUD_DRIVE_C) is a missing drive, not a new folder to install into.
  if (posix::NamesADriveRoot(pathName)) {
    SetLastError(posix::IsHostFolder(hostPath) ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // Reached through trusted links only: a folder link that another user
  // planted on the way is a refusal, not a place to make folders in.
  std::string parentPath;
  std::string name;
  const posix::Descriptor parent(posix::OpenFolderForWriting(hostPath, false, parentPath, name));
  if (!parent.valid() || MakeFolder(parent.get(), name) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  return TRUE;
}
