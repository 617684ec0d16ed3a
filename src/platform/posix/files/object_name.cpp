// NtQueryObject for the one question the core asks: the name of an open file.
#include <cstring>
#include <string>

#include "platform/posix/files/device_names.h"
#include "platform/posix/files/handle.h"
#include "platform/posix/process/library_entries.h"

namespace posix {
namespace {

constexpr ULONG kObjectNameInformation = 1;
constexpr NTSTATUS kStatusSuccess = 0;
constexpr NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr NTSTATUS kStatusInvalidHandle = static_cast<NTSTATUS>(0xC0000008);
constexpr NTSTATUS kStatusNameTooLong = static_cast<NTSTATUS>(0xC0000106);

// The counted string the answer begins with; its text follows it.
struct CountedString {
  USHORT Length;  // bytes, without the NUL
  USHORT MaximumLength;
  WCHAR* Buffer;
};

}  // namespace

NTSTATUS WINAPI QueryObjectEntry(HANDLE handle, ULONG informationClass, LPVOID information,
                                 ULONG length, PULONG returnLength) {
  if (informationClass != kObjectNameInformation) return kStatusInvalidInfoClass;
  // A native call: it answers with a status and leaves the last error alone.
  auto* file = dynamic_cast<FileObject*>(ObjectOf(handle));
  if (file == nullptr) return kStatusInvalidHandle;
  std::u16string name = DevicePathOfOpenFile(file->fd, file->hostPath);
  size_t textBytes = (name.size() + 1) * sizeof(WCHAR);
  if (textBytes > 0xFFFF) return kStatusNameTooLong;
  ULONG needed = static_cast<ULONG>(sizeof(CountedString) + textBytes);
  if (returnLength != nullptr) *returnLength = needed;
  if (information == nullptr || length < needed) return kStatusInfoLengthMismatch;
  auto* record = static_cast<CountedString*>(information);
  WCHAR* text = reinterpret_cast<WCHAR*>(record + 1);
  std::memcpy(text, name.c_str(), textBytes);
  record->Length = static_cast<USHORT>(textBytes - sizeof(WCHAR));
  record->MaximumLength = static_cast<USHORT>(textBytes);
  record->Buffer = text;
  return kStatusSuccess;
}

}  // namespace posix
