// Creating one folder.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  std::string hostPath;
  if (!posix::HostPathOf(pathName, hostPath)) return FALSE;
  // The folder gets the permissions the umask leaves, as any new host folder.
  if (mkdir(hostPath.c_str(), 0777) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  return TRUE;
}
