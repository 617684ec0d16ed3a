#include "platform/posix/files/write_path.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <vector>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/name_lookup.h"

namespace posix {
namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

// Puts the names of `path` in front of those still to walk, in order.
void PutInFront(const std::string& path, std::deque<std::string>& names) {
  std::vector<std::string> found;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) found.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  names.insert(names.begin(), found.begin(), found.end());
}

int Failed(int fd, int errnoValue) {
  if (fd >= 0) ::close(fd);
  errno = errnoValue;
  return -1;
}

}  // namespace

bool MayFollowForWriting(const struct stat& link) {
  return link.st_uid == 0 || link.st_uid == ::geteuid();
}

int OpenFolderForWriting(const std::string& hostPath, bool followLast, std::string& folder,
                         std::string& name) {
  const std::string path = WithoutTrailingSlashes(hostPath);
  std::deque<std::string> pending;
  PutInFront(path, pending);
  const bool absolute = !path.empty() && path[0] == '/';
  int fd = ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  std::string resolved = "/";
  if (!absolute) {
    char* working = ::getcwd(nullptr, 0);
    if (working == nullptr) return Failed(fd, errno);
    resolved = working;
    ::free(working);
  }
  name.clear();
  int links = 0;
  while (!pending.empty()) {
    const std::string next = pending.front();
    pending.pop_front();
    const bool last = pending.empty();
    if (next == "." || next == "..") {
      // ".." is never a link; at the host's root it is the root itself.
      if (next == "..") {
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (parent < 0) return Failed(fd, errno);
        ::close(fd);
        fd = parent;
        resolved = ParentOf(resolved);
      }
      continue;
    }
    const int child = ::openat(fd, next.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat facts;
    if (child < 0 || StatusOf(child, facts) != 0) {
      const int failure = errno;
      if (child >= 0) ::close(child);
      // A last name that is not there yet is the name to write.
      if (last && failure == ENOENT) {
        name = next;
        break;
      }
      return Failed(fd, failure);
    }
    if (S_ISLNK(facts.st_mode) && (!last || followLast)) {
      std::string target;
      const int failure = !MayFollowForWriting(facts) ? EACCES
                          : ++links > kMaxLinks      ? ELOOP
                          : !LinkTextAt(child, "", target) ? errno
                                                           : 0;
      ::close(child);
      if (failure != 0) return Failed(fd, failure);
      if (target.empty()) return Failed(fd, ENOENT);
      PutInFront(target, pending);
      if (target[0] == '/') {
        ::close(fd);
        fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return -1;
        resolved = "/";
      }
      continue;
    }
    if (last) {
      ::close(child);
      name = next;
      break;
    }
    if (!S_ISDIR(facts.st_mode)) {
      ::close(child);
      return Failed(fd, ENOTDIR);
    }
    ::close(fd);
    fd = child;
    resolved = JoinedPath(resolved, next);
  }
  folder = resolved;
  return fd;
}

}  // namespace posix
