// A 32-bit program shows the absolute address. Where it needs more than
// eight digits (x86_64) the offset within its module keeps the line at its
// fixed width.
#include "platform/code_address.h"

bool CodeAddressShownAsIs(uintptr_t address) { return address <= 0xFFFFFFFFu; }
