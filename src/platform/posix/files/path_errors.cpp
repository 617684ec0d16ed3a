#include "platform/posix/files/path_errors.h"

#include <errno.h>
#include <sys/stat.h>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/win_error.h"

namespace posix {

DWORD SetLastErrorForPath(int errnoValue, const std::string& hostPath) {
  DWORD code = SetLastErrorFromErrno(errnoValue);
  if (errnoValue == ENOENT) {
    struct stat status;
    std::string parent = ParentOf(hostPath);
    if (StatusAt(AT_FDCWD, parent.c_str(), 0, status) != 0 || !S_ISDIR(status.st_mode)) {
      code = ERROR_PATH_NOT_FOUND;
      SetLastError(code);
    }
  }
  return code;
}

}  // namespace posix
