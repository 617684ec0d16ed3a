// The device names the system shows for files and drives. The host has no
// volume devices: the whole host file system is one device, \Device\Host,
// and a file's device path is that prefix followed by its absolute host path
// with the slashes turned round. A drive's device name is the device path of
// its root folder, so \Device\Host\tmp\x\file maps back to a drive whose
// root is /tmp/x, and to C: (root /) otherwise.
#pragma once

#include <string>

namespace posix {

// The device path of an absolute host path free of links.
std::u16string DevicePathOf(const std::string& realPath);

// The device path of the file open as `fd` (OpenFilePath), or of the name it
// was opened by where that can't be told.
std::u16string DevicePathOfOpenFile(int fd, const std::string& openedAs);

// The device name of a drive (C: for drive C), without a trailing backslash;
// false when there is no such drive.
bool DriveDeviceName(char16_t letter, std::u16string& deviceName);

}  // namespace posix
