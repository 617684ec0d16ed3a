// Read-only views of files, and the name of the file a view maps.
#include <errno.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/posix/files/device_names.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/handle.h"
#include "platform/posix/process/library_entries.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

// A mapping of an open file: its own descriptor and the file's host path.
struct MappingObject : KernelObject {
  MappingObject(int fd, std::string hostPath, uint64_t size)
      : fd(fd), hostPath(std::move(hostPath)), size(size) {}
  bool Close() override {
    close(fd);
    delete this;
    return true;
  }
  int fd;
  std::string hostPath;
  uint64_t size;
};

struct View {
  size_t length;
  std::u16string devicePath;  // the file's
};

// The views of this process by their first byte. One thread uses them.
std::map<const char*, View>& Views() {
  static std::map<const char*, View> views;
  return views;
}

// The pseudo handle that stands for the calling process.
HANDLE const kCurrentProcess = INVALID_HANDLE_VALUE;

}  // namespace

DWORD WINAPI MappedFileNameEntry(HANDLE process, LPVOID address, LPWSTR fileName, DWORD size) {
  if (process != kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const char* byte = static_cast<const char*>(address);
  auto view = Views().upper_bound(byte);
  if (view == Views().begin() || byte >= std::prev(view)->first + std::prev(view)->second.length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string name = std::prev(view)->second.devicePath;
  // A longer name is cut to the buffer, as Windows does.
  size_t copied = std::min<size_t>(name.size(), size - 1);
  name.copy(fileName, copied);
  fileName[copied] = u'\0';
  return static_cast<DWORD>(copied);
}

}  // namespace posix

HANDLE GetCurrentProcess() { return posix::kCurrentProcess; }

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maxSizeHigh,
                          DWORD maxSizeLow, LPCWSTR name) {
  posix::FileObject* object = posix::ObjectAs<posix::FileObject>(file);
  if (object == nullptr) return nullptr;
  // Unnamed read-only mappings are all the core makes.
  if (protect != PAGE_READONLY || name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  struct stat status;
  if (posix::StatusOf(object->fd, status) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return nullptr;
  }
  // A read-only mapping can't be larger than its file, nor can an empty file
  // be mapped.
  uint64_t size = static_cast<uint64_t>(status.st_size);
  uint64_t maximum = (static_cast<uint64_t>(maxSizeHigh) << 32) | maxSizeLow;
  if (!S_ISREG(status.st_mode) || size == 0 || maximum > size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int fd = dup(object->fd);
  if (fd < 0) {
    posix::SetLastErrorFromErrno(errno);
    return nullptr;
  }
  return posix::HandleOf(
      new posix::MappingObject(fd, object->hostPath, maximum == 0 ? size : maximum));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytes) {
  posix::MappingObject* object = posix::ObjectAs<posix::MappingObject>(mapping);
  if (object == nullptr) return nullptr;
  uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
  if ((access & FILE_MAP_READ) == 0 || offset >= object->size ||
      offset % static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  size_t length = bytes != 0 ? bytes : static_cast<size_t>(object->size - offset);
  if (length > object->size - offset) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* view = mmap(nullptr, length, PROT_READ, MAP_SHARED, object->fd, static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    posix::SetLastErrorFromErrno(errno);
    return nullptr;
  }
  posix::Views()[static_cast<const char*>(view)] =
      posix::View{length, posix::DevicePathOfOpenFile(object->fd, object->hostPath)};
  return view;
}

BOOL UnmapViewOfFile(LPCVOID view) {
  auto found = posix::Views().find(static_cast<const char*>(view));
  if (found == posix::Views().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  munmap(const_cast<void*>(view), found->second.length);
  posix::Views().erase(found);
  return TRUE;
}
