// Whether a "Runtime error" line can show a code address as it is. An
// absolute address that changes with every run (the system loads modules at
// random places) says nothing, and one that needs more than eight digits
// does not fit the line; such an address is shown as the offset within the
// module that holds it instead, the same in every run of the same build and
// the number to look up in its map.
#pragma once

#include <cstdint>

// Async-signal-safe: it looks at the number only.
bool CodeAddressShownAsIs(uintptr_t address);
