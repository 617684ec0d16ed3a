// Entry points that Windows programs look up at run time in PSAPI.dll and
// NTDLL.DLL, here served by GetProcAddress from this layer.
#pragma once

#include "platform/posix/win32_api.h"

namespace posix {

// GetMappedFileNameW: the device path of the file a view of this process maps.
DWORD WINAPI MappedFileNameEntry(HANDLE process, LPVOID address, LPWSTR fileName, DWORD size);

// NtQueryObject, ObjectNameInformation only: the device path of an open file
// as a counted string followed by its text.
NTSTATUS WINAPI QueryObjectEntry(HANDLE handle, ULONG informationClass, LPVOID information,
                                 ULONG length, PULONG returnLength);

}  // namespace posix
