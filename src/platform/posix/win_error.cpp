#include "platform/posix/win_error.h"

#include <cerrno>

namespace posix {
namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrnoCode {
  int errnoValue;
  DWORD code;
};

constexpr ErrnoCode kTable[] = {
    {0, ERROR_SUCCESS},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {EIO, ERROR_GEN_FAILURE},
    {ENXIO, ERROR_NOT_READY},
    {E2BIG, ERROR_INVALID_PARAMETER},
    {ENOEXEC, ERROR_BAD_EXE_FORMAT},
    {EBADF, ERROR_INVALID_HANDLE},
    {EAGAIN, ERROR_BUSY},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EACCES, ERROR_ACCESS_DENIED},
    {EFAULT, ERROR_INVALID_PARAMETER},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {ENODEV, ERROR_NOT_READY},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EFBIG, ERROR_DISK_FULL},
    {ENOSPC, ERROR_DISK_FULL},
    {ESPIPE, ERROR_INVALID_PARAMETER},
    {EROFS, ERROR_WRITE_PROTECT},
    {EMLINK, ERROR_ACCESS_DENIED},
    {EPIPE, ERROR_NO_DATA},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {EDQUOT, ERROR_DISK_FULL},
    {ESTALE, ERROR_BAD_NETPATH},
    {EHOSTUNREACH, ERROR_BAD_NETPATH},
    {ENETUNREACH, ERROR_BAD_NETPATH},
};

}  // namespace

DWORD Win32ErrorFromErrno(int errnoValue) {
  for (const ErrnoCode& entry : kTable) {
    if (entry.errnoValue == errnoValue) return entry.code;
  }
  return ERROR_GEN_FAILURE;
}

DWORD SetLastErrorFromErrno(int errnoValue) {
  DWORD code = Win32ErrorFromErrno(errnoValue);
  lastError = code;
  return code;
}

}  // namespace posix

DWORD GetLastError() { return posix::lastError; }

void SetLastError(DWORD code) { posix::lastError = code; }
