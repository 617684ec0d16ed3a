// UTF-16 (the core's text) to and from UTF-8 (the host's file names,
// environment and locale texts). Unpaired surrogates and malformed UTF-8
// become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace posix {

std::string Utf8FromUtf16(std::u16string_view text);
std::u16string Utf16FromUtf8(std::string_view text);

}  // namespace posix
