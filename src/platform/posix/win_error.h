// errno to Win32 error codes: the one table every POSIX shim goes through, so
// that the core sees the codes Windows would report for the same failure.
#pragma once

#include "platform/posix/win32_api.h"

namespace posix {

// The Win32 code for an errno value; an errno without a counterpart becomes
// ERROR_GEN_FAILURE.
DWORD Win32ErrorFromErrno(int errnoValue);

// Records errnoValue as the thread's last error and returns the Win32 code.
DWORD SetLastErrorFromErrno(int errnoValue);

}  // namespace posix
