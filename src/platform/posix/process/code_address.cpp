// Executables and libraries are loaded at a random place in every run: the
// line shows the offset within the object that holds the code, the program
// itself or the C library (a signal that comes while the program waits in a
// system call), as its map or `addr2line -e` takes it.
#include "platform/code_address.h"

bool CodeAddressShownAsIs(uintptr_t) { return false; }
