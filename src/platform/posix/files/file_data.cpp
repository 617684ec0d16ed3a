#include "platform/posix/files/file_data.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/sysmacros.h>

#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"

namespace posix {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kSecondsBeforeUnixEpoch = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;

timespec TimeOf(const statx_timestamp& stamp) {
  timespec time{};
  time.tv_sec = stamp.tv_sec;
  time.tv_nsec = stamp.tv_nsec;
  return time;
}

bool IsEarlier(const statx_timestamp& a, const statx_timestamp& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

int StatusAt(int folder, const char* name, int flags, struct stat& status) {
  struct statx facts;
  if (statx(folder, name, flags, kStatusFields, &facts) != 0) return -1;
  status = {};
  status.st_dev = makedev(facts.stx_dev_major, facts.stx_dev_minor);
  status.st_ino = facts.stx_ino;
  status.st_mode = facts.stx_mode;
  status.st_nlink = facts.stx_nlink;
  status.st_uid = facts.stx_uid;
  status.st_gid = facts.stx_gid;
  status.st_rdev = makedev(facts.stx_rdev_major, facts.stx_rdev_minor);
  status.st_size = static_cast<off_t>(facts.stx_size);
  status.st_blksize = static_cast<blksize_t>(facts.stx_blksize);
  status.st_blocks = static_cast<blkcnt_t>(facts.stx_blocks);
  status.st_atim = TimeOf(facts.stx_atime);
  status.st_mtim = TimeOf(facts.stx_mtime);
  status.st_ctim = TimeOf(facts.stx_ctime);
  return 0;
}

FILETIME FileTimeOf(const timespec& time) {
  int64_t seconds = static_cast<int64_t>(time.tv_sec) + kSecondsBeforeUnixEpoch;
  uint64_t ticks = 0;
  if (seconds >= 0) {
    ticks = static_cast<uint64_t>(seconds) * kTicksPerSecond +
            static_cast<uint64_t>(time.tv_nsec) / 100;
  }
  FILETIME fileTime;
  fileTime.dwLowDateTime = static_cast<DWORD>(ticks);
  fileTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return fileTime;
}

WIN32_FILE_ATTRIBUTE_DATA AttributeDataOf(const struct statx& status, bool linksToFolder) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  bool isLink = S_ISLNK(status.stx_mode);
  bool isFolder = S_ISDIR(status.stx_mode);
  if (isFolder) data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (isLink) {
    data.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    if (linksToFolder) data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if ((status.stx_mode & S_IWUSR) == 0) {
    data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  }
  // A device, a FIFO or a socket holds no file's bytes: the system's own
  // mark for devices says so to whoever looks.
  if (!isFolder && !isLink && !S_ISREG(status.stx_mode)) {
    data.dwFileAttributes |= FILE_ATTRIBUTE_DEVICE;
  }
  if (data.dwFileAttributes == 0) data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  // Where the file system keeps no birth time, the earliest time it does keep.
  statx_timestamp creation = status.stx_mtime;
  if ((status.stx_mask & STATX_BTIME) != 0) {
    creation = status.stx_btime;
  } else if (IsEarlier(status.stx_ctime, creation)) {
    creation = status.stx_ctime;
  }
  data.ftCreationTime = FileTimeOf(TimeOf(creation));
  data.ftLastAccessTime = FileTimeOf(TimeOf(status.stx_atime));
  data.ftLastWriteTime = FileTimeOf(TimeOf(status.stx_mtime));
  // Folders and links have no size of their own on Windows.
  if (S_ISREG(status.stx_mode)) {
    data.nFileSizeHigh = static_cast<DWORD>(status.stx_size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(status.stx_size);
  }
  return data;
}

bool ReadAttributeData(int folder, const std::string& name, WIN32_FILE_ATTRIBUTE_DATA& data) {
  // A trailing slash would make the host look through a link; Windows
  // reports the link itself, and refuses a trailing separator on a file.
  const std::string bare = WithoutTrailingSlashes(name);
  bool mustBeFolder = bare.size() != name.size();
  struct statx status;
  if (statx(folder, bare.c_str(), AT_SYMLINK_NOFOLLOW, kStatusFields | STATX_BTIME, &status) != 0) {
    SetLastErrorForPath(errno, bare);
    return false;
  }
  bool linksToFolder = false;
  if (S_ISLNK(status.stx_mode)) {
    struct stat target;
    linksToFolder = StatusAt(folder, bare.c_str(), 0, target) == 0 && S_ISDIR(target.st_mode);
  }
  if (mustBeFolder && !S_ISDIR(status.stx_mode) && !S_ISLNK(status.stx_mode)) {
    SetLastErrorForPath(ENOTDIR, bare);
    return false;
  }
  data = AttributeDataOf(status, linksToFolder);
  return true;
}

}  // namespace posix
