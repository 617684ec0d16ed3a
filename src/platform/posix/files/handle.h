// What a HANDLE is on POSIX: a pointer to one of these kernel objects. Every
// shim that hands out or takes a handle goes through HandleOf / ObjectOf.
#pragma once

#include <string>

#include "platform/posix/win32_api.h"

namespace posix {

struct KernelObject {
  virtual ~KernelObject() = default;
  // Releases what the object holds; false with the last error set on failure.
  virtual bool Close();
};

// An open file, pipe, terminal or folder, by descriptor.
struct FileObject : KernelObject {
  FileObject(int fd, std::string hostPath) : fd(fd), hostPath(std::move(hostPath)) {}
  bool Close() override;
  int fd;
  std::string hostPath;  // the host path it was opened by
};

inline HANDLE HandleOf(KernelObject* object) { return static_cast<HANDLE>(object); }

// The object behind a handle when it is of type T; null (last error
// ERROR_INVALID_HANDLE) for null, INVALID_HANDLE_VALUE or another type.
template <class T>
T* ObjectAs(HANDLE handle);

KernelObject* ObjectOf(HANDLE handle);

template <class T>
T* ObjectAs(HANDLE handle) {
  T* object = dynamic_cast<T*>(ObjectOf(handle));
  if (object == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace posix
