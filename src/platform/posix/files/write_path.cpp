#include "platform/posix/files/write_path.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <vector>

#include "platform/posix/files/descriptor.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/name_lookup.h"

namespace posix {
namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

// Puts the names of `path` in front of those still to walk, in order.
void PutInFront(const std::string& path, std::deque<std::string>& names) {
  const std::vector<std::string> found = NamesOf(path);
  names.insert(names.begin(), found.begin(), found.end());
}

// -1 with errno set to `errnoValue`: what a failed walk returns.
int WalkFailure(int errnoValue) {
  errno = errnoValue;
  return -1;
}

}  // namespace

bool MayFollowForWriting(const struct stat& link) {
  return (link.st_uid == 0 || link.st_uid == ::geteuid()) && link.st_nlink == 1;
}

int OpenFolderForWriting(const std::string& hostPath, bool followLast, std::string& folder,
                         std::string& name) {
  const std::string path = WithoutTrailingSlashes(hostPath);
  std::deque<std::string> pending;
  PutInFront(path, pending);
  const bool absolute = !path.empty() && path[0] == '/';
  Descriptor fd(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return -1;
  std::string resolved = "/";
  if (!absolute) {
    char* working = ::getcwd(nullptr, 0);
    if (working == nullptr) return -1;
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
        fd.reset(::openat(fd.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd.valid()) return -1;
        resolved = ParentOf(resolved);
      }
      continue;
    }
    Descriptor child(::openat(fd.get(), next.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat facts;
    if (!child.valid() || StatusOf(child.get(), facts) != 0) {
      // A last name that is not there yet is the name to write.
      if (last && errno == ENOENT) {
        name = next;
        break;
      }
      return -1;
    }
    if (S_ISLNK(facts.st_mode) && (!last || followLast)) {
      std::string target;
      if (!MayFollowForWriting(facts)) return WalkFailure(EACCES);
      if (++links > kMaxLinks) return WalkFailure(ELOOP);
      if (!LinkTextAt(child.get(), "", target)) return -1;
      if (target.empty()) return WalkFailure(ENOENT);
      PutInFront(target, pending);
      if (target[0] == '/') {
        fd.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd.valid()) return -1;
        resolved = "/";
      }
      continue;
    }
    if (last) {
      name = next;
      break;
    }
    if (!S_ISDIR(facts.st_mode)) return WalkFailure(ENOTDIR);
    fd.reset(child.release());
    resolved = JoinedPath(resolved, next);
  }
  folder = resolved;
  return fd.release();
}

}  // namespace posix
