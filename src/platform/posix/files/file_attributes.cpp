// A path's attribute data, read without opening it, and its read-only mark.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"

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

// Of the attributes Windows sets, the host keeps read-only alone, as the
// owner's write bit (see AttributeDataOf): setting it takes every write bit
// away, clearing it gives the owner's back. The others are left as they are.
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  std::string hostPath;
  if (!posix::HostPathOf(fileName, hostPath)) return FALSE;
  struct stat status {};
  if (posix::StatusAt(AT_FDCWD, hostPath.c_str(), 0, status) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  mode_t mode = status.st_mode & 07777;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (mode != (status.st_mode & 07777) && chmod(hostPath.c_str(), mode) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  return TRUE;
}
