#include "platform/posix/files/share_bounds.h"

#include "platform/posix/files/host_path.h"

namespace posix {

bool LeavesItsShare(LPCWSTR windowsPath, const std::string& hostPath, int fd) {
  std::string share;
  if (!ShareFolderOf(windowsPath, share)) return false;
  const std::string root = RealPathOf(share);
  // Where the open file is, not where its name leads now: a build published
  // by renaming it over the name meanwhile is still the file that was opened
  // inside the share, and a link turned round since the open can't pass
  // another file off as it.
  const std::string file = OpenFilePath(fd, hostPath);
  return root.empty() || file.empty() || !LiesWithin(file, root);
}

}  // namespace posix
