#include "platform/posix/files/handle.h"

#include <unistd.h>

#include "platform/posix/win_error.h"

namespace posix {

bool KernelObject::Close() {
  delete this;
  return true;
}

bool FileObject::Close() {
  int result = fd >= 0 ? ::close(fd) : 0;
  int closeErrno = errno;
  delete this;
  if (result != 0) {
    SetLastErrorFromErrno(closeErrno);
    return false;
  }
  return true;
}

KernelObject* ObjectOf(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return static_cast<KernelObject*>(handle);
}

}  // namespace posix

BOOL CloseHandle(HANDLE object) {
  posix::KernelObject* target = posix::ObjectOf(object);
  if (target == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return target->Close() ? TRUE : FALSE;
}
