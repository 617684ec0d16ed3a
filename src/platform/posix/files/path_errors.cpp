#include "platform/posix/files/path_errors.h"

#include <errno.h>
#include <sys/stat.h>

#include "platform/posix/files/host_path.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

// The folder part of a host path ("." for a name in the working folder).
std::string ParentOf(const std::string& hostPath) {
  const std::string path = WithoutTrailingSlashes(hostPath);
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

DWORD SetLastErrorForPath(int errnoValue, const std::string& hostPath) {
  DWORD code = SetLastErrorFromErrno(errnoValue);
  if (errnoValue == ENOENT) {
    struct stat status;
    std::string parent = ParentOf(hostPath);
    if (stat(parent.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
      code = ERROR_PATH_NOT_FOUND;
      SetLastError(code);
    }
  }
  return code;
}

}  // namespace posix
