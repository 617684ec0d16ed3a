#include "platform/posix/process/std_handles.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/win32_api.h"

namespace posix {
namespace {

// Keeps the descriptor number `fd` taken without giving access to anything.
void Reserve(int fd) {
  int placeholder = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (placeholder < 0 || placeholder == fd) return;
  dup3(placeholder, fd, O_CLOEXEC);
  close(placeholder);
}

}  // namespace

StandardStreamObject::StandardStreamObject(int standardFd) : FileObject(standardFd, std::string()) {
  if (fcntl(standardFd, F_GETFD) < 0) {
    Reserve(standardFd);
    fd = -1;
  }
}

bool StandardStreamObject::Close() {
  if (fd >= 0) {
    Reserve(fd);
    fd = -1;
  }
  return true;
}

namespace {

// Descriptors 0 to 2 in order, so each closed one is reserved in turn.
StandardStreamObject standardInput(0);
StandardStreamObject standardOutput(1);
StandardStreamObject standardError(2);

}  // namespace
}  // namespace posix

HANDLE GetStdHandle(DWORD stdHandle) {
  switch (stdHandle) {
    case STD_INPUT_HANDLE:
      return posix::HandleOf(&posix::standardInput);
    case STD_OUTPUT_HANDLE:
      return posix::HandleOf(&posix::standardOutput);
    case STD_ERROR_HANDLE:
      return posix::HandleOf(&posix::standardError);
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
  }
}
