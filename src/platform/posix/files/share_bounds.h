// Links on a share stay on the share. A link on a network share resolves on
// the workstation: one that leads to /root/secret would make rud read, and
// install for every user, a file of the workstation itself. Windows by
// default follows no link from a share to a local file; here the file read
// from a share (ShareFolderOf) must lie in the share's folder, which is
// checked on the descriptor the bytes are read from, not on the name: a
// share may turn a link round between two opens of the same name.
#pragma once

#include <string>

#include "platform/posix/win32_api.h"

namespace posix {

// Whether the file open as `fd`, opened by `hostPath` for `windowsPath`, lies
// outside the share the path names, or can't be told to lie inside it.
bool LeavesItsShare(LPCWSTR windowsPath, const std::string& hostPath, int fd);

}  // namespace posix
