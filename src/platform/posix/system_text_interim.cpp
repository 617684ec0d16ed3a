// Interim: no system texts yet. The message shim replaces this file whole;
// until then an error code is reported without the system's text for it.
#include <cstdlib>

#include "win32_api.h"

DWORD FormatMessageW(DWORD, LPCVOID, DWORD, DWORD, LPWSTR, DWORD, va_list*) {
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
