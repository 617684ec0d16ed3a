// The objects behind the standard handles: one per descriptor 0, 1 and 2,
// made when the program loads and never deleted.
//
// A standard descriptor that is closed when the program starts is unusable
// (GetFileType says FILE_TYPE_UNKNOWN, reads and writes fail with
// ERROR_INVALID_HANDLE), and its number is taken at once by /dev/null: left
// free, the next file the program opens would get it, and output meant for
// the console would land in that file.
#pragma once

#include "platform/posix/files/handle.h"

namespace posix {

struct StandardStreamObject : FileObject {
  explicit StandardStreamObject(int standardFd);

  // Closing a standard handle makes it unusable; the object stays, and the
  // descriptor number stays taken.
  bool Close() override;
};

}  // namespace posix
