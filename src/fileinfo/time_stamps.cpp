#include "fileinfo/time_stamps.h"

#include "fileinfo/link_target.h"

namespace {

bool ReadAttributeData(const Text& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExW(W(path), GetFileExInfoStandard, &data) != 0;
}

}  // namespace

bool GetFileDateTimeInfo(const Text& path, bool followLink, FileDateTimeInfo& info) {
  SetLastError(0);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!ReadAttributeData(path, data)) return false;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (!followLink) return false;
    Text target;
    if (!ResolveLinkTarget(path, target)) return false;
    // The target is taken as it is found, even if it is a link itself.
    if (!ReadAttributeData(target, data)) return false;
  }
  // The record's first six fields are the attribute data; the rest is not
  // defined by the lookup and left as the caller had it.
  info.dwFileAttributes = data.dwFileAttributes;
  info.ftCreationTime = data.ftCreationTime;
  info.ftLastAccessTime = data.ftLastAccessTime;
  info.ftLastWriteTime = data.ftLastWriteTime;
  info.nFileSizeHigh = data.nFileSizeHigh;
  info.nFileSizeLow = data.nFileSizeLow;
  return true;
}

double LastWriteLocalTime(const FileDateTimeInfo& info) {
  return LocalDateTimeFromFileTime(info.ftLastWriteTime);
}
