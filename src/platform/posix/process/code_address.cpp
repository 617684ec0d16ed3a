// Executables and libraries are loaded at a random place in every run: the
// line shows the offset within the object that holds the code, the program
// itself or the C library (a signal that comes while the program waits in a
// system call), as its map or `addr2line -e` takes it.
#include "platform/code_address.h"

#include <dlfcn.h>

uintptr_t ShownCodeAddress(const void* address) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  // The program has one thread; the loader's lock, should the fault have
  // come inside the loader, is taken again by the same thread.
  Dl_info info = {};
  if (dladdr(address, &info) != 0 && info.dli_fbase != nullptr) {
    return at - reinterpret_cast<uintptr_t>(info.dli_fbase);
  }
  return at;
}
