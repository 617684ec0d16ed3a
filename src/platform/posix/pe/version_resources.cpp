// The version-resource calls: the resource is read from the executable's PE
// image on disk, a few header ranges at a time, and looked up in the copy the
// caller holds.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/handle.h"
#include "platform/posix/files/kept_source.h"
#include "platform/posix/files/share_bounds.h"
#include "platform/posix/text/locale_id.h"
#include "platform/posix/pe/pe_image.h"
#include "platform/posix/pe/version_block.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

// The kernel's read-ahead window for a file read from its start (128 KiB by
// default, the size of one network read on a FUSE mount).
constexpr off_t kFirstReadWindow = 128 * 1024;

// An open image file read with pread, so that only the ranges the headers
// point at are ever read.
class FileImage : public ImageSource {
 public:
  explicit FileImage(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t length, DWORD& code) const override {
    auto* bytes = static_cast<uint8_t*>(out);
    while (length > 0) {
      ssize_t got = ::pread(fd_, bytes, length, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        code = Win32ErrorFromErrno(errno);
        return false;
      }
      if (got == 0) {
        code = ERROR_HANDLE_EOF;  // the file shrank under us
        return false;
      }
      bytes += got;
      offset += static_cast<uint64_t>(got);
      length -= static_cast<size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_;
};

// The version resource of the file at a Windows path; false with the last
// error set. The file is opened as CreateFileW opens it, so its failures
// carry the same codes; a file that a share's link leads out of the share
// is refused as one that can't be read. A file whose version was read is
// kept open for a copy from it (kept_source.h).
bool ReadFileVersionResource(LPCWSTR fileName, std::vector<uint8_t>& bytes) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FileObject* object = ObjectAs<FileObject>(file);
  DWORD code = ERROR_SUCCESS;
  bool found = false;
  struct stat facts;
  if (object == nullptr) {
    code = ERROR_INVALID_HANDLE;
  } else if (LeavesItsShare(fileName, object->hostPath, object->fd)) {
    code = ERROR_ACCESS_DENIED;
  } else if (StatusOf(object->fd, facts) != 0) {
    code = Win32ErrorFromErrno(errno);
  } else {
    // Only a regular file has bytes to read at offsets; anything else reads
    // as an empty image.
    const uint64_t size = S_ISREG(facts.st_mode) ? static_cast<uint64_t>(facts.st_size) : 0;
    // The header reads are a few small ones near the start. Left to itself
    // the kernel would read ahead of them in small steps, and the copy that
    // follows on this descriptor would start from those; asked for the first
    // full read-ahead window at once, a network file costs one read for the
    // headers and the copy goes on from there.
    if (size > 0) ::posix_fadvise(object->fd, 0, kFirstReadWindow, POSIX_FADV_WILLNEED);
    found = ReadVersionResource(FileImage(object->fd, size), UserInterfaceLanguage(), bytes, code);
    // A resource too short for the root node's header is no version block:
    // a buffer of its size could not even hold the length every lookup
    // reads first.
    if (found && bytes.size() < kVersionNodeHeaderSize) {
      found = false;
      code = ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    if (found && S_ISREG(facts.st_mode)) {
      KeepForCopy(fileName, object->fd, facts);
      object->fd = -1;
    }
  }
  CloseHandle(file);
  if (!found) SetLastError(code);
  return found;
}

// The block GetFileVersionInfoSizeW read, kept for the GetFileVersionInfoW
// that follows it for the same file: the file is opened and read once, which
// on a share saves the server an open, its reads and a close.
struct PendingVersionBlock {
  std::u16string fileName;
  std::vector<uint8_t> bytes;
};
std::optional<PendingVersionBlock> pendingBlock;

}  // namespace
}  // namespace posix

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
  if (handle != nullptr) *handle = 0;
  posix::pendingBlock.reset();
  std::vector<uint8_t> bytes;
  if (!posix::ReadFileVersionResource(fileName, bytes)) return 0;
  const auto size = static_cast<DWORD>(bytes.size());
  posix::pendingBlock = posix::PendingVersionBlock{fileName, std::move(bytes)};
  return size;
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD size, LPVOID data) {
  if (data == nullptr || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The lookups begin by reading the root's length from the buffer.
  if (size < posix::kVersionNodeHeaderSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::vector<uint8_t> bytes;
  if (posix::pendingBlock && fileName != nullptr && posix::pendingBlock->fileName == fileName) {
    bytes = std::move(posix::pendingBlock->bytes);
    posix::pendingBlock.reset();
  } else if (!posix::ReadFileVersionResource(fileName, bytes)) {
    return FALSE;
  }
  const size_t copied = std::min<size_t>(size, bytes.size());
  std::memcpy(data, bytes.data(), copied);
  posix::FitBlockLength(static_cast<uint8_t*>(data), copied);
  return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
  if (block == nullptr || subBlock == nullptr || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* bytes = static_cast<const uint8_t*>(block);
  const size_t size = static_cast<size_t>(bytes[0] | (bytes[1] << 8));
  posix::VersionValue value;
  if (!posix::FindVersionValue(bytes, size, std::u16string_view(subBlock), value)) {
    *buffer = nullptr;
    if (length != nullptr) *length = 0;
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  *buffer = const_cast<uint8_t*>(bytes + value.offset);
  if (length != nullptr) *length = static_cast<UINT>(value.length);
  return TRUE;
}
