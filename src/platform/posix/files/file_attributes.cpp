// A path's attribute data, read without opening it, and its read-only mark.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix/files/descriptor.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"
#include "platform/posix/files/write_path.h"
#include "platform/posix/win_error.h"

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
// The file is reached as a write is (write_path.h): through trusted links
// only, and changed through a descriptor of the file itself, so a link put
// in its place or on the way meanwhile is a refusal, never followed.
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  std::string hostPath;
  if (!posix::HostPathOf(fileName, hostPath)) return FALSE;
  std::string folderPath;
  std::string name;
  const posix::Descriptor folder(posix::OpenFolderForWriting(hostPath, true, folderPath, name));
  struct stat status {};
  const posix::Descriptor file(
      folder.valid() ? ::openat(folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1);
  if (!file.valid() || posix::StatusOf(file.get(), status) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  if (S_ISLNK(status.st_mode)) {
    posix::SetLastErrorFromErrno(EACCES);
    return FALSE;
  }
  mode_t mode = status.st_mode & 07777;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  // A name-only descriptor takes no fchmod; its /proc entry leads to the
  // file itself.
  if (mode != (status.st_mode & 07777) && ::chmod(posix::ProcEntryOf(file.get()).c_str(), mode) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}
