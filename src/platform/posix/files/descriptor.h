// An open descriptor that is closed when it goes away, on every path out of
// the code that holds it; and the /proc entry that leads to its file.
#pragma once

#include <unistd.h>

#include <string>

namespace posix {

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// The /proc entry of an open descriptor: a link to the file itself, which
// open, chmod and readlink follow whatever its name leads to meanwhile
// (missing, ENOENT, where /proc is not mounted).
inline std::string ProcEntryOf(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace posix
