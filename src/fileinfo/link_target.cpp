#include "fileinfo/link_target.h"

#include "console/exceptions.h"
#include "fileinfo/device_path.h"
#include "fileinfo/folders.h"
#include "fileinfo/os_error.h"
#include "fileinfo/os_version.h"
#include "platform/win32.h"

namespace {

// Closes a handle on every way out of the scope, a raised error included.
class HandleCloser {
 public:
  explicit HandleCloser(HANDLE handle) : handle_(handle) {}
  ~HandleCloser() { CloseHandle(handle_); }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

 private:
  HANDLE handle_;
};

HANDLE OpenForReading(const Text& path, DWORD flags) {
  return CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags,
                     nullptr);
}

// A file whose attributes could not be read may still show in its folder's
// listing (a file in use by the system, for one).
bool IsListedFile(const Text& path) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(W(path), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

bool ResolveLinkTarget(const Text& path, Text& target) {
  if (!IsVersion6OrLater()) return false;
  if (!IsExistingFile(path, false)) return false;
  if (!VolumeSupportsLinks(path)) return false;
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  // The open goes through the link: the handle is the target's. A folder
  // opens only with backup semantics.
  DWORD flags = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FILE_FLAG_BACKUP_SEMANTICS : 0;
  HANDLE file = OpenForReading(path, flags);
  if (file == INVALID_HANDLE_VALUE) return false;
  HandleCloser closer(file);
  return NameOfOpenFile(file, target);
}

bool IsExistingFile(const Text& path, bool followLink) {
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
        code == ERROR_INVALID_NAME) {
      return false;
    }
    return IsListedFile(path);
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  if (!followLink) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  HANDLE file = OpenForReading(path, 0);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return true;
  }
  // Another process holding the target open still proves it is there.
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool VolumeSupportsLinks(const Text& path) {
  // Neither a folder nor a file behind the link: it dangles, or its target
  // can't be read.
  if (!IsExistingFolder(path) && !IsExistingFile(path, true)) {
    throw EDirectoryNotFoundException(u"The drive cannot be found");
  }
  Text root = WithTrailingBackslash(DrivePartOf(path));
  WCHAR volumeName[MAX_PATH] = {};
  WCHAR fileSystemName[MAX_PATH] = {};
  DWORD serialNumber = 0;
  DWORD maximumComponentLength = 0;
  DWORD fileSystemFlags = 0;
  if (!GetVolumeInformationW(W(root), volumeName, MAX_PATH, &serialNumber, &maximumComponentLength,
                             &fileSystemFlags, fileSystemName, MAX_PATH)) {
    RaiseLastOSError();
  }
  return (fileSystemFlags & FILE_SUPPORTS_REPARSE_POINTS) != 0;
}

Text DrivePartOf(const Text& path) {
  if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    // \\host\share: up to the backslash that ends the share name.
    size_t hostEnd = path.find(u'\\', 2);
    if (hostEnd == Text::npos) return path;
    size_t shareEnd = path.find(u'\\', hostEnd + 1);
    if (shareEnd == Text::npos) return path;
    return path.substr(0, shareEnd);
  }
  return Text();
}

Text WithTrailingBackslash(const Text& path) {
  if (!path.empty() && path.back() == u'\\') return path;
  return path + u'\\';
}
