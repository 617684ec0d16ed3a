#include "fileinfo/folders.h"

#include "console/exceptions.h"
#include "platform/win32.h"

bool CreateFolderChain(const Text& path) {
  // Tested on the path as given: a relative path whose first folder is
  // missing ends up here through the recursion as well.
  if (path.empty()) throw EInOutError(ERROR_PATH_NOT_FOUND, u"Unable to create directory");
  Text dir = WithoutTrailingBackslash(path);
  if (IsExistingFolder(dir)) return true;
  // A drive such as C:, or a text ending in a colon: nothing above it to make.
  if (dir.size() <= 2 || FolderPartOf(dir) == dir) return CreateOneFolder(dir);
  // Parents first; a parent that could not be made leaves dir untried.
  if (!CreateFolderChain(FolderPartOf(dir))) return false;
  return CreateOneFolder(dir);
}

bool IsExistingFolder(const Text& path) {
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_NAME:
      case ERROR_BAD_NETPATH:
      case ERROR_NOT_READY:
        return false;
      default:
        // Something is there that we may not look at (access denied, say):
        // it is taken for a folder, and nothing gets created over it.
        return true;
    }
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  // A link or junction: it only counts when its target can be opened.
  HANDLE target = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target == INVALID_HANDLE_VALUE) return false;
  CloseHandle(target);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateOneFolder(const Text& path) { return CreateDirectoryW(W(path), nullptr) != 0; }

Text FolderPartOf(const Text& path) {
  size_t last = path.find_last_of(u"\\:");
  if (last == Text::npos) return Text();
  return path.substr(0, last + 1);
}

Text WithoutTrailingBackslash(const Text& path) {
  if (!path.empty() && path.back() == u'\\') return path.substr(0, path.size() - 1);
  return path;
}
