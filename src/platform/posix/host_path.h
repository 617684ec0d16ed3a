// How a Windows path names a file on this host.
//   X:rest       under the root of drive X: $RUD_DRIVE_X; unset, C: and Z: are /
//                and every other drive does not exist (ERROR_PATH_NOT_FOUND).
//   \\host\share\rest  under $RUD_UNC_ROOT as host/share/rest; unset, the
//                network path can't be reached (ERROR_BAD_NETPATH).
//   anything else  a host path as it stands.
// \ and / both separate. Names are matched as Windows file systems do: exact
// first, then case-insensitively within their folder.
#pragma once

#include <string>

#include "win32_api.h"

namespace posix {

// The host path for a Windows path; false with the last error set when the
// path can't name a host file (missing drive, unreachable share, a name with
// characters Windows forbids).
bool HostPathOf(LPCWSTR windowsPath, std::string& hostPath);

}  // namespace posix
