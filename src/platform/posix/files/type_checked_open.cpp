#include "platform/posix/files/type_checked_open.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/files/descriptor.h"
#include "platform/posix/files/file_data.h"

namespace posix {

int OpenTypeChecked(const std::string& hostPath, int flags, struct stat& facts) {
  return OpenTypeCheckedAt(AT_FDCWD, hostPath, flags, facts);
}

int OpenTypeCheckedAt(int folder, const std::string& name, int flags, struct stat& facts) {
  // A name-only descriptor: the kernel resolves the links but opens nothing.
  const int named = ::openat(folder, name.c_str(), O_PATH | O_CLOEXEC | (flags & O_NOFOLLOW));
  if (named < 0) return -1;
  if (StatusOf(named, facts) != 0) {
    const int failure = errno;
    ::close(named);
    errno = failure;
    return -1;
  }
  if (!S_ISREG(facts.st_mode) && !S_ISDIR(facts.st_mode)) return named;

  // Reopened through the descriptor (its /proc entry is a link to follow,
  // whatever O_NOFOLLOW said of the name), so the file opened is the one
  // checked even if the name is changed meanwhile. Without /proc the name is
  // opened again and must still lead to the same file.
  const int openFlags = flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  int fd = ::open(ProcEntryOf(named).c_str(), openFlags & ~O_NOFOLLOW);
  if (fd < 0 && errno == ENOENT) {
    fd = ::openat(folder, name.c_str(), openFlags);
    struct stat reopened;
    if (fd >= 0 && (StatusOf(fd, reopened) != 0 || !SameFile(reopened, facts))) {
      ::close(fd);
      fd = -1;
      errno = EAGAIN;
    }
  }
  const int failure = errno;
  ::close(named);
  if (fd < 0) {
    errno = failure;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace posix
