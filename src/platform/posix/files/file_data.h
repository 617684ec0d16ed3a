// What Windows reports of a file (attributes, three times, size), read from
// the host's status of the path.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <string>

#include "platform/posix/win32_api.h"

namespace posix {

// Whether two host statuses are of one file: the same device and inode.
inline bool SameFile(const struct stat& one, const struct stat& other) {
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// The status fields asked of the host: all but the last-access time. Every
// read of a file on a network mount marks the client's cached access time
// stale, and asking for it again would cost the file server a fresh lookup
// (an open, a query and a close) for a time nothing here decides on. The
// other fields are as fresh as the client keeps them; the access time is the
// last one it knew.
constexpr unsigned kStatusFields = STATX_BASIC_STATS & ~STATX_ATIME;

// The host's status of `name` relative to `folder`, as fstatat gives it with
// `flags` (AT_FDCWD and a whole path; an open descriptor is StatusOf), but
// asking only for kStatusFields. 0, or -1 with errno set.
int StatusAt(int folder, const char* name, int flags, struct stat& status);
inline int StatusOf(int fd, struct stat& status) {
  return StatusAt(fd, "", AT_EMPTY_PATH, status);
}

// A host time as a FILETIME: 100-ns ticks since 1601-01-01 UTC, at full
// precision; a time before 1601 is tick 0.
FILETIME FileTimeOf(const timespec& time);

// The attribute data of a host status. A symbolic link is a reparse point,
// and a folder as well when linksToFolder says its target is one.
WIN32_FILE_ATTRIBUTE_DATA AttributeDataOf(const struct statx& status, bool linksToFolder);

// The attribute data of the path itself, a link as a link; false with the
// last error set as Windows would set it. folder and name split the path so
// that a listing's entry can be read relative to its folder's descriptor
// (AT_FDCWD and the whole path otherwise).
bool ReadAttributeData(int folder, const std::string& name, WIN32_FILE_ATTRIBUTE_DATA& data);

}  // namespace posix
