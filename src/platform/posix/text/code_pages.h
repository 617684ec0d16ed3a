// Windows code pages on a POSIX host: the ANSI, OEM and console code pages
// are all the code page of the user's locale (LC_ALL, LC_CTYPE, LANG), the
// encoding its terminal and files use; conversions go through iconv.
#pragma once

#include <string>
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

// Bytes in the user's code page (arguments, as a POSIX caller hands them
// over) as UTF-16. A byte sequence the code page does not define becomes
// U+FFFD. The C locale's ASCII says nothing about bytes above 127; there
// they are read as UTF-8, the encoding of the host's file names here. So
// they are where the C library has no converter from the code page (iconv
// without its conversion modules): ASCII and UTF-8 names still come through
// whole, and a byte that is no UTF-8 becomes U+FFFD rather than a guess.
std::u16string TextOfUserCodePage(std::string_view bytes);

}  // namespace posix
