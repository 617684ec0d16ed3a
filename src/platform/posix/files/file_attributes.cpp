// Reading a path's attribute data without opening it.
#include <fcntl.h>

#include <string>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"

BOOL GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  if (level != GetFileExInfoStandard || info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string hostPath;
  if (!posix::HostPathOf(fileName, hostPath)) return FALSE;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!posix::ReadAttributeData(AT_FDCWD, hostPath, data)) return FALSE;
  *static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(info) = data;
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(fileName, GetFileExInfoStandard, &data)) {
    return INVALID_FILE_ATTRIBUTES;
  }
  return data.dwFileAttributes;
}
