// Windows code pages on a POSIX host: the ANSI, OEM and console code pages
// are all the code page of the user's locale (LC_ALL, LC_CTYPE, LANG), the
// encoding its terminal and files use; conversions go through iconv.
#pragma once

#include <string_view>

#include "platform/posix/win32_api.h"

namespace posix {

// The code page of a C library codeset name (nl_langinfo(CODESET)), matched
// without regard to case; 0 when Windows has no number for it.
UINT CodePageOfCodeset(std::string_view codeset);

// The iconv name of a code page; null when there is none.
const char* CodesetOfCodePage(UINT codePage);

// The user's code page, read once: the codeset of the locale the environment
// names; ASCII (20127) when that locale is not installed or its codeset has
// no code page.
UINT UserCodePage();

}  // namespace posix
