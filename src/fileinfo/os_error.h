// The error of a failed operating-system call.
#pragma once

#include <cstdint>

#include "console/text.h"

// "System Error.  Code: N." CR LF and the system's text for the code, or
// "A call to an OS function failed" for code 0.
Text OSErrorMessage(uint32_t code);

// Raises EOSError for GetLastError(), taken at once.
[[noreturn]] void RaiseLastOSError();
