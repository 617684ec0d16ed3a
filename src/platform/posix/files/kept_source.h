// An update opens the server copy twice: its version is read, then its bytes
// are copied. The descriptor the version was read from is kept for the copy
// from the same name, as a Windows client keeps a handle its server has
// leased to it: the copy takes exactly the file whose version was shown, even
// if the share puts another file under the name meanwhile; the server sees one
// open, and the bytes the version came from are not fetched again.
#pragma once

#include <sys/stat.h>

#include <string>

namespace posix {

// Keeps `fd`, a regular file open for reading by `windowsPath` and found
// inside its share, with its status when it was read; from now on the
// descriptor is owned here. It replaces any kept under the same name; only the
// last two are kept (the two copies of one update).
void KeepForCopy(const std::u16string& windowsPath, int fd, const struct stat& facts);

// The descriptor kept for `windowsPath`, now the caller's, and its status as
// kept; -1 when there is none. The others are closed: a copy ends what the
// reads were for.
int TakeKeptForCopy(const std::u16string& windowsPath, struct stat& facts);

}  // namespace posix
