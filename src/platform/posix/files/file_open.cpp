// Opening an existing file or folder through links, and what an open file
// tells: its size and its final path.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/files/device_names.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/handle.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"
#include "platform/posix/files/type_checked_open.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

int OpenFlagsFor(DWORD access) {
  bool reads = (access & GENERIC_READ) != 0;
  bool writes = (access & GENERIC_WRITE) != 0;
  if (reads && writes) return O_RDWR;
  if (writes) return O_WRONLY;
  return O_RDONLY;
}

}  // namespace
}  // namespace posix

HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  // The core only opens what is there; sharing is not enforced by the host.
  if (disposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string hostPath;
  if (!posix::HostPathOf(fileName, hostPath)) return INVALID_HANDLE_VALUE;
  // Only a file or a folder is really opened: a device or a FIFO that a link
  // leads to is named, never opened, and reads from it fail.
  struct stat status;
  int fd = posix::OpenTypeChecked(hostPath, posix::OpenFlagsFor(access), status);
  if (fd < 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return INVALID_HANDLE_VALUE;
  }
  // Windows opens a folder only for backup semantics.
  if (S_ISDIR(status.st_mode) && (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return posix::HandleOf(new posix::FileObject(fd, hostPath));
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return INVALID_FILE_SIZE;
  struct stat status;
  if (posix::StatusOf(object->fd, status) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
  if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
  // A size whose low half looks like the failure value is told apart by the
  // last error.
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return 0;
  // Only the device form: there are no volume GUIDs or \\?\ names here.
  if ((flags & VOLUME_NAME_NT) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string name = posix::DevicePathOfOpenFile(object->fd, object->hostPath);
  // Too small a buffer: the size it needs, its NUL included.
  if (size <= name.size()) return static_cast<DWORD>(name.size() + 1);
  name.copy(path, name.size());
  path[name.size()] = u'\0';
  return static_cast<DWORD>(name.size());
}
