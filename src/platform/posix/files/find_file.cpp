// Looking a name up in its folder's listing. Only plain names: the core asks
// whether one file shows in its folder, never for a pattern.
#include <dirent.h>
#include <errno.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/files/file_data.h"
#include "platform/posix/files/handle.h"
#include "platform/posix/files/host_path.h"
#include "platform/posix/text/utf.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

// A finished search: it holds nothing beyond its handle.
struct FindObject : KernelObject {};

// The entry's own attribute data; when its status can't be read (a folder
// that may be listed but not searched), what the listing tells.
WIN32_FILE_ATTRIBUTE_DATA EntryData(DIR* folder, const dirent& entry) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (ReadAttributeData(dirfd(folder), entry.d_name, data)) return data;
  data = WIN32_FILE_ATTRIBUTE_DATA{};
  switch (entry.d_type) {
    case DT_DIR:
      data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
      break;
    case DT_LNK:
      data.dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
      break;
    default:
      data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  }
  return data;
}

void FillFindData(const WIN32_FILE_ATTRIBUTE_DATA& data, const std::string& name,
                  WIN32_FIND_DATAW& found) {
  found = WIN32_FIND_DATAW{};
  found.dwFileAttributes = data.dwFileAttributes;
  found.ftCreationTime = data.ftCreationTime;
  found.ftLastAccessTime = data.ftLastAccessTime;
  found.ftLastWriteTime = data.ftLastWriteTime;
  found.nFileSizeHigh = data.nFileSizeHigh;
  found.nFileSizeLow = data.nFileSizeLow;
  std::u16string wide = Utf16FromUtf8(name);
  wide.resize(std::min<size_t>(wide.size(), MAX_PATH - 1));
  wide.copy(found.cFileName, wide.size());
}

}  // namespace
}  // namespace posix

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
  std::string hostPath;
  if (!posix::HostPathOf(fileName, hostPath)) return INVALID_HANDLE_VALUE;
  const std::vector<std::string> names = posix::NamesOf(hostPath);
  const std::string name = names.empty() ? std::string() : names.back();
  if (name.empty() || name == "." || name == "..") {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  DIR* listing = opendir(posix::ParentOf(hostPath).c_str());
  if (listing == nullptr) {
    // The folder itself is what is missing here.
    int error = errno;
    if (error == ENOENT) {
      SetLastError(ERROR_PATH_NOT_FOUND);
    } else {
      posix::SetLastErrorFromErrno(error);
    }
    return INVALID_HANDLE_VALUE;
  }
  bool found = false;
  while (dirent* entry = readdir(listing)) {
    if (name != entry->d_name) continue;
    posix::FillFindData(posix::EntryData(listing, *entry), name, *findData);
    found = true;
    break;
  }
  closedir(listing);
  if (!found) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return posix::HandleOf(new posix::FindObject());
}

BOOL FindClose(HANDLE find) {
  posix::FindObject* search = posix::ObjectAs<posix::FindObject>(find);
  if (search == nullptr) return FALSE;
  return search->Close() ? TRUE : FALSE;
}
