#include "fileinfo/device_path.h"

#include <memory>
#include <vector>

#include "fileinfo/os_version.h"

namespace {

// Entry points looked up at run time: PSAPI may be missing, and NtQueryObject
// is not in the import libraries. Kept once found and never released; a
// failed lookup leaves them empty, so the next use tries again.
using GetMappedFileNameFunction = DWORD(WINAPI*)(HANDLE process, LPVOID address, LPWSTR fileName,
                                                 DWORD size);
using NtQueryObjectFunction = LONG(WINAPI*)(HANDLE handle, ULONG informationClass,
                                            LPVOID information, ULONG length, ULONG* returnLength);

HMODULE psapiLibrary = nullptr;
GetMappedFileNameFunction getMappedFileName = nullptr;
NtQueryObjectFunction ntQueryObject = nullptr;

constexpr DWORD kNameBufferLength = MAX_PATH;
// The longest name the system gives (a \\?\ path); a link may lead that far.
constexpr DWORD kLongestName = 32768;
constexpr DWORD kFinalPathNtVolumeName = VOLUME_NAME_NT | FILE_NAME_NORMALIZED;
constexpr ULONG kObjectNameInformation = 1;

// The record NtQueryObject fills for ObjectNameInformation: a counted string
// whose text follows it in the same buffer.
struct CountedString {
  USHORT Length;
  USHORT MaximumLength;
  WCHAR* Buffer;
};

// The entry point's address as the function type it has; the detour through
// a plain function pointer keeps the compiler from objecting to the cast.
template <class Function>
Function AsFunction(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// The text of a buffer up to its first NUL (or its end).
Text TextUpTo(const WCHAR* buffer, size_t capacity) {
  const char16_t* start = U(buffer);
  size_t length = 0;
  while (length < capacity && start[length] != u'\0') ++length;
  return Text(start, length);
}

bool LoadMappedFileNameEntry() {
  if (getMappedFileName != nullptr) return true;
  if (psapiLibrary == nullptr) {
    HMODULE library = LoadLibraryW(W(u"PSAPI.dll"));
    // Old loaders answered failure with a small number instead of null.
    if (reinterpret_cast<uintptr_t>(library) < 32) return false;
    psapiLibrary = library;
  }
  getMappedFileName =
      AsFunction<GetMappedFileNameFunction>(GetProcAddress(psapiLibrary, "GetMappedFileNameW"));
  return getMappedFileName != nullptr;
}

// Method 2: the final path of the handle, in the device form. A name that
// does not fit is asked for again in a buffer of the size the call gives:
// a cut name would name another file, or none.
bool FinalPathName(HANDLE file, Text& name) {
  std::vector<WCHAR> buffer(kNameBufferLength);
  DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), kNameBufferLength,
                                           kFinalPathNtVolumeName);
  if (length == 0) return false;
  if (length >= buffer.size() && length <= kLongestName) {
    buffer.assign(length, 0);
    length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                       kFinalPathNtVolumeName);
    if (length == 0 || length >= buffer.size()) return false;
  }
  name = DevicePathToDrivePath(TextUpTo(buffer.data(), buffer.size()));
  return true;
}

// The name of a mapped view. The call cuts a name to the buffer it is given,
// so a name that fills the buffer is asked for again in a larger one.
DWORD MappedViewName(LPVOID view, std::vector<WCHAR>& buffer) {
  for (size_t size = kNameBufferLength;; size *= 2) {
    buffer.assign(size, 0);
    const DWORD length =
        getMappedFileName(GetCurrentProcess(), view, buffer.data(), static_cast<DWORD>(size));
    if (length == 0 || length + 1 < size || size >= kLongestName) return length;
  }
}

// Method 3: the name of a one-byte view of the file. View and mapping are
// released on every path out.
bool MappedFileName(HANDLE file, Text& name) {
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 1, nullptr);
  if (mapping == nullptr) return false;
  bool found = false;
  LPVOID view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
  if (view != nullptr) {
    if (LoadMappedFileNameEntry()) {
      std::vector<WCHAR> buffer;
      if (MappedViewName(view, buffer) > 0) {
        name = DevicePathToDrivePath(TextUpTo(buffer.data(), buffer.size()));
        found = true;
      }
    }
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return found;
}

}  // namespace

bool NameOfOpenFile(HANDLE file, Text& name) {
  name.clear();
  bool found = false;
  DWORD sizeHigh = 0;
  DWORD sizeLow = GetFileSize(file, &sizeHigh);
  bool empty = sizeLow == 0 && sizeHigh == 0;
  // An empty file can't be mapped; the final path serves it (and folders).
  if (empty && IsVersion6OrLater() && FinalPathName(file, name)) return true;
  if (!empty) found = MappedFileName(file, name);
  if (!found) {
    Text objectName = ObjectNameOfHandle(file);
    if (!objectName.empty()) {
      name = DevicePathToDrivePath(objectName);
      found = true;
    }
  }
  return found;
}

Text ObjectNameOfHandle(HANDLE handle) {
  if (ntQueryObject == nullptr) {
    ntQueryObject = AsFunction<NtQueryObjectFunction>(
        GetProcAddress(GetModuleHandleW(W(u"NTDLL.DLL")), "NtQueryObject"));
    if (ntQueryObject == nullptr) return Text();
  }
  // The first call only tells the length the record and its text need.
  ULONG needed = 0;
  ntQueryObject(handle, kObjectNameInformation, nullptr, 0, &needed);
  // Without a length there is nothing to ask for.
  if (needed < sizeof(CountedString)) return Text();
  // Aligned for the record's pointer; freed on every path out.
  std::unique_ptr<CountedString[]> buffer(
      new CountedString[(needed + sizeof(CountedString) - 1) / sizeof(CountedString)]());
  if (ntQueryObject(handle, kObjectNameInformation, buffer.get(), needed, &needed) != 0) {
    return Text();
  }
  const CountedString& record = buffer[0];
  if (record.Buffer == nullptr) return Text();
  // Up to its NUL, and never past the length the record counts.
  return TextUpTo(record.Buffer, record.Length / sizeof(WCHAR));
}

Text DevicePathToDrivePath(const Text& path) {
  WCHAR drives[kNameBufferLength] = {};
  if (GetLogicalDriveStringsW(kNameBufferLength, drives) == 0) return Text();
  // Entries are roots such as C:\ followed by a NUL: four units apart.
  for (size_t entry = 0; entry + 3 < kNameBufferLength && drives[entry] != 0; entry += 4) {
    WCHAR* root = drives + entry;
    root[2] = 0;  // the drive alone: C:
    WCHAR device[kNameBufferLength] = {};
    if (QueryDosDeviceW(root, device, kNameBufferLength) == 0) continue;
    Text deviceName = TextUpTo(device, kNameBufferLength);
    if (deviceName.empty()) continue;  // would begin every path
    // The device name must end where a name of the path ends: the device of
    // a drive rooted at .../zarvek does not begin .../zarvek-shares, nor
    // HarddiskVolume1 HarddiskVolume10. The first drive in the list wins.
    if (path.compare(0, deviceName.size(), deviceName) == 0 &&
        (path.size() == deviceName.size() || path[deviceName.size()] == u'\\')) {
      return TextUpTo(root, 2) + path.substr(deviceName.size());
    }
  }
  return Text();
}
