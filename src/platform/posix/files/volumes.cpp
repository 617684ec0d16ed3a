// Drives and volumes: the drive list, each drive's device name, and what a
// volume can hold.
#include <errno.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <string>

#include "platform/posix/files/device_names.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/files/path_errors.h"

namespace posix {
namespace {

constexpr char16_t kFileSystemName[] = u"POSIX";

// Copies text and its NUL into a buffer of size units; false when it does
// not fit.
bool CopyWithNul(const std::u16string& text, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr) return size == 0 && text.empty();
  if (size <= text.size()) return false;
  text.copy(buffer, text.size());
  buffer[text.size()] = u'\0';
  return true;
}

}  // namespace
}  // namespace posix

DWORD GetLogicalDriveStringsW(DWORD size, LPWSTR buffer) {
  // Each existing drive's root and a NUL, in letter order; one more NUL ends it.
  std::u16string list;
  std::string root;
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    if (!posix::DriveRootOf(letter, root)) continue;
    list += letter;
    list += u":\\";
    list += u'\0';
  }
  // Too small a buffer: the size it needs, the final NUL included.
  if (buffer == nullptr || size < list.size() + 1) return static_cast<DWORD>(list.size() + 1);
  list.copy(buffer, list.size());
  buffer[list.size()] = u'\0';
  return static_cast<DWORD>(list.size());
}

DWORD QueryDosDeviceW(LPCWSTR deviceName, LPWSTR targetPath, DWORD size) {
  // Only drives are known by name here (C:); no listing of every device.
  std::u16string name = deviceName != nullptr ? deviceName : u"";
  std::u16string device;
  if (name.size() != 2 || name[1] != u':' || !posix::DriveDeviceName(name[0], device)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  // A list of names: the one name, its NUL and the list's NUL.
  if (targetPath == nullptr || size < device.size() + 2) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  device.copy(targetPath, device.size());
  targetPath[device.size()] = u'\0';
  targetPath[device.size() + 1] = u'\0';
  return static_cast<DWORD>(device.size() + 2);
}

BOOL GetVolumeInformationW(LPCWSTR rootPath, LPWSTR volumeName, DWORD volumeNameSize,
                           LPDWORD serialNumber, LPDWORD maxComponentLength,
                           LPDWORD fileSystemFlags, LPWSTR fileSystemName,
                           DWORD fileSystemNameSize) {
  std::string hostPath;
  if (!posix::HostPathOf(rootPath, hostPath)) return FALSE;
  struct statvfs volume;
  if (statvfs(hostPath.c_str(), &volume) != 0) {
    posix::SetLastErrorForPath(errno, hostPath);
    return FALSE;
  }
  // The C library knows which file systems hold symbolic links.
  long holdsLinks = pathconf(hostPath.c_str(), _PC_2_SYMLINKS);
  if ((volumeName != nullptr || volumeNameSize != 0) &&
      !posix::CopyWithNul(u"", volumeName, volumeNameSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if ((fileSystemName != nullptr || fileSystemNameSize != 0) &&
      !posix::CopyWithNul(posix::kFileSystemName, fileSystemName, fileSystemNameSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (serialNumber != nullptr) *serialNumber = static_cast<DWORD>(volume.f_fsid);
  if (maxComponentLength != nullptr) *maxComponentLength = static_cast<DWORD>(volume.f_namemax);
  if (fileSystemFlags != nullptr) {
    *fileSystemFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    if (holdsLinks > 0) *fileSystemFlags |= FILE_SUPPORTS_REPARSE_POINTS;
  }
  return TRUE;
}
