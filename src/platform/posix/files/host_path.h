// How a Windows path names a file on this host.
//   X:rest       under the root of drive X: $RUD_DRIVE_X (X upper-case); unset,
//                C: and Z: are / and every other drive does not exist
//                (ERROR_PATH_NOT_FOUND); set but empty, the drive does not exist.
//   \\host\share\rest  under $RUD_UNC_ROOT as host/share/rest; unset, or no
//                such host or share folder there, the network path can't be
//                reached (ERROR_BAD_NETPATH).
//   anything else  a host path as it stands, absolute or relative.
// \ and / both separate. "." and ".." are taken away as Windows does, without
// looking at the disk, and never climb above a drive root or a share. Names
// are matched as Windows file systems do: exact first, then case-insensitively
// within their folder. A name holding a character Windows forbids (<>:"|?*
// and codes 1 to 31) is ERROR_INVALID_NAME.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/win32_api.h"

namespace posix {

// The host path for a Windows path; false with the last error set when the
// path can't name a host file (missing drive, unreachable share, a name with
// characters Windows forbids, the empty path). A path that ends in a
// separator keeps a slash at its end.
bool HostPathOf(LPCWSTR windowsPath, std::string& hostPath);

// The path without the slashes at its end; "/" stays as it is.
std::string WithoutTrailingSlashes(std::string path);

// The folder that holds a host path's last name: "." for a bare name, "/"
// for a name at the root.
std::string ParentOf(const std::string& hostPath);

// The names of a host path, in order; "." and ".." stay, doubled slashes drop
// out.
std::vector<std::string> NamesOf(const std::string& hostPath);

// Whether a host path leads, through its links, to an existing folder.
bool IsHostFolder(const std::string& path);

// The text of the link `name` in the open folder `folder` (AT_FDCWD for the
// working folder), read whole however long; an empty name reads the link
// open as `folder` itself (O_PATH | O_NOFOLLOW). False with errno set.
bool LinkTextAt(int folder, const char* name, std::string& text);

// The host folder that is the root of drive letter (either case); false when
// there is no such drive.
bool DriveRootOf(char16_t letter, std::string& root);

// Whether a Windows path names the root of an existing drive (X:, X:\, X:\..).
bool NamesADriveRoot(LPCWSTR windowsPath);

// The host folder that a Windows path's links must not lead out of when its
// file is read: the share's folder for \\host\share\..., and the drive's
// folder for X:\... on a drive mapped to a folder, which stands for a network
// drive. Windows does not follow a link on a network share to a file outside
// it. Drive C: is the workstation's own disk, and a host path names no share:
// false for both, and their links are followed wherever they lead.
bool ShareFolderOf(LPCWSTR windowsPath, std::string& folder);

// The host path with every link, "." and ".." resolved, by the C library's
// realpath; empty when it can't be resolved (a missing name, a loop).
std::string RealPathOf(const std::string& hostPath);

// The host path, free of links, of the file open as `fd`: where the kernel
// has it now (renamed or removed since, it says so), whatever the name it
// was opened by leads to meanwhile. Without /proc, `openedAs` resolved now if
// it still leads to that file; empty when it does not.
std::string OpenFilePath(int fd, const std::string& openedAs);

// Whether a host path free of links lies in `folder` (also free of links).
bool LiesWithin(const std::string& path, const std::string& folder);

// Whether a host path free of links lies on some drive's folder.
bool LiesOnADrive(const std::string& path);

}  // namespace posix
