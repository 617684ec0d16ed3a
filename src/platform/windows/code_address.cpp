// A 32-bit program shows the absolute address. Where it needs more than
// eight digits (x86_64) the offset within its module keeps the line at its
// fixed width.
#include "platform/code_address.h"

#include <windows.h>

uintptr_t ShownCodeAddress(const void* address) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  if (at <= 0xFFFFFFFFu) return at;
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(address), &module) && module != nullptr) {
    return at - reinterpret_cast<uintptr_t>(module);
  }
  return at;
}
