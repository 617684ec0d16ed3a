// Opening a path only once its type is known. The server copy and the local
// copy may be links that lead anywhere, rud may run as root, and opening some
// devices has side effects (a tape rewinds, a watchdog arms, a FIFO's writer
// wakes): only regular files and folders are ever really opened.
#pragma once

#include <sys/stat.h>

#include <string>

namespace posix {

// Opens `hostPath` through its links with `flags` (O_RDONLY, O_RDWR, ...;
// O_CLOEXEC, O_NOCTTY and O_NONBLOCK are added, the last taken off again once
// open). Anything but a regular file or a folder is not opened: the
// descriptor returned then only names it (O_PATH), so its facts can be read
// and every read fails. `facts` receives the file's status. Returns the
// descriptor, or -1 with errno set.
int OpenTypeChecked(const std::string& hostPath, int flags, struct stat& facts);

// The same for `name` in the open folder `folder`; with O_NOFOLLOW in flags
// a link is named itself, never followed.
int OpenTypeCheckedAt(int folder, const std::string& name, int flags, struct stat& facts);

}  // namespace posix
