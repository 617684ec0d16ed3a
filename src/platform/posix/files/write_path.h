// Reaching the place of a write. rud may run as root over folders that a
// standard user may write: a link that such a user planted must not carry
// root's writes elsewhere. Our rule, on every link on the way to a write and
// in every folder (Linux's fs.protected_symlinks, by contrast, looks only at
// sticky world-writable folders, and trusts a link owned by the folder's
// owner): a link is followed only when root or the user who writes owns it
// and it has no other name. A link owned by root or by us was made by root
// or by us where it stands, unless someone gave it a second name: a hard
// link to root's link (one of /etc/alternatives, say) in a folder the user
// may write, which the kernel allows where fs.protected_hardlinks is 0. A
// link that has more than one name is therefore refused whoever owns it.
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
// -1 with errno set: EACCES for a link that may not be followed. `name`
// receives the last name (there or not; empty when the path ends in ".."),
// and `folder` the folder's host path with every link resolved.
int OpenFolderForWriting(const std::string& hostPath, bool followLast, std::string& folder,
                         std::string& name);

}  // namespace posix
