// Reading, writing, moving the file pointer and the type of an open file,
// pipe or terminal.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/handle.h"
#include "platform/posix/win32_api.h"
#include "platform/posix/win_error.h"

namespace {

// A descriptor left non-blocking by whoever handed it over still blocks
// here, as a Windows handle would.
bool WaitUntilReady(int fd, short events) {
  pollfd entry = {fd, events, 0};
  while (poll(&entry, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

DWORD GetFileType(HANDLE file) {
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return FILE_TYPE_UNKNOWN;
  struct stat status;
  if (posix::StatusOf(object->fd, status) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return FILE_TYPE_UNKNOWN;
  }
  // A terminal, /dev/null or any other character device is what Windows
  // calls a character file.
  if (S_ISCHR(status.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) return FILE_TYPE_PIPE;
  if (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode) || S_ISBLK(status.st_mode)) {
    return FILE_TYPE_DISK;
  }
  SetLastError(ERROR_SUCCESS);
  return FILE_TYPE_UNKNOWN;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return FALSE;
  const char* bytes = static_cast<const char*>(buffer);
  DWORD done = 0;
  // Windows writes the whole buffer to a file or pipe before it returns.
  while (done < bytesToWrite) {
    ssize_t count = write(object->fd, bytes + done, bytesToWrite - done);
    if (count >= 0) {
      done += static_cast<DWORD>(count);
      continue;
    }
    int failure = errno;
    if (failure == EINTR) continue;
    if ((failure == EAGAIN || failure == EWOULDBLOCK) && WaitUntilReady(object->fd, POLLOUT)) continue;
    if (bytesWritten != nullptr) *bytesWritten = done;
    posix::SetLastErrorFromErrno(failure);
    return FALSE;
  }
  if (bytesWritten != nullptr) *bytesWritten = done;
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
  if (bytesRead != nullptr) *bytesRead = 0;
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return FALSE;
  for (;;) {
    ssize_t count = read(object->fd, buffer, bytesToRead);
    if (count >= 0) {
      if (bytesRead != nullptr) *bytesRead = static_cast<DWORD>(count);
      return TRUE;
    }
    int failure = errno;
    if (failure == EINTR) continue;
    if ((failure == EAGAIN || failure == EWOULDBLOCK) && WaitUntilReady(object->fd, POLLIN)) continue;
    posix::SetLastErrorFromErrno(failure);
    return FALSE;
  }
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return INVALID_SET_FILE_POINTER;
  if (method > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  // With a high part the distance is one signed 64-bit number.
  off_t offset = distanceHigh != nullptr
                     ? static_cast<off_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                          static_cast<uint32_t>(distance))
                     : static_cast<off_t>(distance);
  off_t position = lseek(object->fd, offset, whence);
  if (position < 0) {
    posix::SetLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}
