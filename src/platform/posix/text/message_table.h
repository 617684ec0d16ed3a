// The program's own message table, as FormatMessageW and ReportEventW read
// it on POSIX: the texts of app/events.mc (through the generated
// app/event_messages.h), where Windows reads the table windmc compiled into
// rud.exe.
#pragma once

#include <string>
#include <string_view>

#include "platform/posix/win32_api.h"

namespace posix {

// The text of message `id`, with its escapes; null for an ID the table lacks.
const char16_t* OwnMessageText(DWORD id);

// A message text with its inserts filled in, as FormatMessageW fills them:
// %1 to %99 take inserts[0] to inserts[98] (an insert beyond `count` stays
// as it stands), %0 ends the message, %n is a line break (CR LF), and any
// other character after % stands for itself (%% %. %!).
std::u16string FormattedMessage(std::u16string_view text, const WCHAR* const* inserts, size_t count);

// The highest insert number the text refers to.
size_t InsertsNamed(std::u16string_view text);

}  // namespace posix
