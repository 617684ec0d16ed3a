// Creating one folder.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"

namespace {

// rwxr-xr-x, as `install -d` leaves a folder: the suite's folders are read
// and run by every user of the machine, whatever the umask of the one whose
// run happened to create them (a login script under umask 077 would
// otherwise lock every other user out of the programs).
constexpr mode_t kFolderMode = 0755;

}  // namespace

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  std::string hostPath;
  if (!posix::HostPathOf(pathName, hostPath)) return FALSE;
  if (mkdir(hostPath.c_str(), kFolderMode) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  // mkdir leaves out what the umask masks; the mode is set again in full.
  // The folder is made either way: a refusal here leaves it as the umask
  // made it, and the copy that follows reports what it can't do.
  chmod(hostPath.c_str(), kFolderMode);
  return TRUE;
}
