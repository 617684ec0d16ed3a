#include "fileinfo/os_version.h"

#include "fileinfo/time_stamps.h"
#include "platform/win32.h"

namespace {

// Written once at start-up, before anything else runs; 0 when the query
// fails. Only the major number decides: 6.0 and every later version qualify.
DWORD majorVersion = 0;

}  // namespace

void RecordOperatingSystemVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  majorVersion = GetVersionExW(&info) ? info.dwMajorVersion : 0;
}

bool IsVersion6OrLater() { return majorVersion >= 6; }
