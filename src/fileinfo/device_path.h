// The drive-letter path of an open file, found through the system's device
// names: the final path of the handle, the name of a mapped view of it, or
// the name of the kernel object.
#pragma once

#include "console/text.h"
#include "platform/win32.h"

// True when one of the three methods gave a name; the name may still be empty
// when its device matches no drive letter.
bool NameOfOpenFile(HANDLE file, Text& name);

// The object name of a handle (\Device\HarddiskVolume2\dir\file); empty when
// the system can't tell it.
Text ObjectNameOfHandle(HANDLE handle);

// \Device\HarddiskVolume2\dir\file as C:\dir\file; empty when no drive's
// device name begins the path.
Text DevicePathToDrivePath(const Text& path);
