#include "fileinfo/os_error.h"

#include "console/exceptions.h"
#include "platform/win32.h"

namespace {

// The system's own text for a code, without the full stops, blanks and line
// breaks it ends with; empty when the system has none.
Text SystemText(uint32_t code) {
  WCHAR* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                nullptr, code, 0, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr);
  Text text;
  if (length > 0 && buffer != nullptr) text.assign(U(buffer), length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
  return text;
}

}  // namespace

Text OSErrorMessage(uint32_t code) {
  if (code == 0) return u"A call to an OS function failed";
  return u"System Error.  Code: " + DecimalText(static_cast<int32_t>(code)) + u".\r\n" +
         SystemText(code);
}

void RaiseLastOSError() {
  uint32_t code = GetLastError();
  throw EOSError(code, OSErrorMessage(code));
}
