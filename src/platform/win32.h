// The one door to the operating system. The core calls Win32 by its own
// names on every target: on Windows this is <windows.h> itself, elsewhere it
// is our own implementation of exactly the subset the core uses.
#pragma once

#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "posix/win32_api.h"
#endif

// Text is UTF-16 on both targets. On Windows WCHAR is wchar_t (16 bits), on
// POSIX it is char16_t; the core keeps std::u16string and crosses to the API
// through these two views.
static_assert(sizeof(WCHAR) == sizeof(char16_t), "WCHAR must be a UTF-16 unit");

inline const WCHAR* W(const std::u16string& text) {
  return reinterpret_cast<const WCHAR*>(text.c_str());
}
inline const WCHAR* W(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }
inline WCHAR* W(char16_t* buffer) { return reinterpret_cast<WCHAR*>(buffer); }
inline const char16_t* U(const WCHAR* text) { return reinterpret_cast<const char16_t*>(text); }
