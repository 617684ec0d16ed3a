#include "platform/posix/files/path_errors.h"

#include <errno.h>

#include "platform/posix/files/host_path.h"
#include "platform/posix/win_error.h"

namespace posix {

DWORD SetLastErrorForPath(int errnoValue, const std::string& hostPath) {
  DWORD code = SetLastErrorFromErrno(errnoValue);
  if (errnoValue == ENOENT) {
    if (!IsHostFolder(ParentOf(hostPath))) {
      code = ERROR_PATH_NOT_FOUND;
      SetLastError(code);
    }
  }
  return code;
}

}  // namespace posix
