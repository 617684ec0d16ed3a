// The last-error code of a failed call on a host path, as Windows reports the
// same failure.
#pragma once

#include <string>

#include "platform/posix/win32_api.h"

namespace posix {

// The errno table's code, with a missing name told apart from a missing
// folder on the way to it: ENOENT is ERROR_FILE_NOT_FOUND when the folder
// that should hold the name is there, ERROR_PATH_NOT_FOUND when it is not.
// Records the code as the last error and returns it.
DWORD SetLastErrorForPath(int errnoValue, const std::string& hostPath);

}  // namespace posix
