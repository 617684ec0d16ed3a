// The code address a "Runtime error" line shows. An absolute address that
// changes with every run (the system loads modules at random places) says
// nothing and may not fit the line's eight digits; such a platform shows the
// offset within the module that holds the code instead, the same in every
// run of the same build and the number to look up in its map.
#pragma once

#include <cstdint>

// Async-signal-safe enough for a fault report: it allocates nothing.
uintptr_t ShownCodeAddress(const void* address);
