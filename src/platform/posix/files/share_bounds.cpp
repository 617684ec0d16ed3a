#include "platform/posix/files/share_bounds.h"

#include <sys/stat.h>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"

namespace posix {

bool LeavesItsShare(LPCWSTR windowsPath, const std::string& hostPath, int fd) {
  std::string share;
  if (!ShareFolderOf(windowsPath, share)) return false;
  const std::string root = RealPathOf(share);
  const std::string file = RealPathOf(hostPath);
  // The name, resolved now, must still lead to the file that is open: a link
  // turned round since the open fails the check instead of passing it.
  struct stat named;
  struct stat open;
  if (root.empty() || file.empty() || StatusAt(AT_FDCWD, file.c_str(), 0, named) != 0 ||
      StatusOf(fd, open) != 0 || !SameFile(named, open)) {
    return true;
  }
  return !LiesWithin(file, root);
}

}  // namespace posix
