// A Windows locale identifier for a POSIX locale name: the primary language
// in the low 10 bits, the sublanguage (territory) above it.
#pragma once

#include <string>
#include <string_view>

#include "platform/posix/win32_api.h"

namespace posix {

// "es_ES.UTF-8" gives 0x0C0A, "es_MX" 0x080A, "en_US" 0x0409; the C and POSIX
// locales read as 0x0409; a language Windows has no identifier for gives
// LOCALE_CUSTOM_UNSPECIFIED (0x1000).
LCID LocaleIdOfName(std::string_view name);

// The locale name the environment gives one category, as setlocale reads it:
// LC_ALL, else the category's own variable (such as "LC_TIME"), else LANG;
// the first that is set and not empty, "C" when none is.
std::string UserLocaleName(const char* categoryVariable);

// The language the user reads messages and resources in: the identifier of
// the locale that LC_ALL, LC_MESSAGES or LANG names, when it is installed;
// English (United States) otherwise.
LANGID UserInterfaceLanguage();

}  // namespace posix
