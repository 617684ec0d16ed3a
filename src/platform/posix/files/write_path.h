// Reaching the place of a write. rud may run as root over folders that a
// standard user may write: a link that such a user planted must not carry
// root's writes elsewhere. As Linux's fs.protected_symlinks does in shared
// folders, a link is followed for a write only when root or the user who
// writes owns it; this holds for every link on the way, not only in sticky
// folders.
#pragma once

#include <sys/stat.h>

#include <string>

namespace posix {

// Whether a link, by its own status, may be followed for a write.
bool MayFollowForWriting(const struct stat& link);

// The folder that holds the last name of `hostPath` (trailing slashes aside),
// reached one name at a time through folders and trusted links only; with
// followLast, a last name that is a link is followed too, to the name it
// finally leads to. Returns a name-only (O_PATH) descriptor of the folder, or
// -1 with errno set: EACCES for a link that someone else owns. `name`
// receives the last name (there or not; empty when the path ends in ".."),
// and `folder` the folder's host path with every link resolved.
int OpenFolderForWriting(const std::string& hostPath, bool followLast, std::string& folder,
                         std::string& name);

}  // namespace posix
