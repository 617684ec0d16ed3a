// Whether a "Runtime error" line shows a code address as it is. A 32-bit
// Windows program does: its addresses fit the line's eight digits. Elsewhere
// the line shows the offset within the module that holds the code, the same
// in every run of the same build and the number to look up in its map: an
// absolute address that changes with every run (POSIX loads modules at
// random places) says nothing, and an x86_64 address, above 4 GiB or below,
// is shown the one way.
#pragma once

#ifdef _WIN32
inline constexpr bool kCodeAddressShownAsIs = sizeof(void*) == 4;
#else
inline constexpr bool kCodeAddressShownAsIs = false;
#endif
