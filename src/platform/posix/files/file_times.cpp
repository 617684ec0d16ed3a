// File times: the shift to local time and the split into calendar fields.
#include <time.h>

#include <cstdint>

#include "platform/posix/win_error.h"

namespace posix {
namespace {

constexpr int64_t kSecondsBeforeUnixEpoch = 11644473600;
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kTicksPerMillisecond = 10000;

uint64_t TicksOf(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOfTicks(uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

}  // namespace
}  // namespace posix

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
  // The offset in force now (daylight saving included), from the TZ database;
  // tzset picks up a zone changed since the last call.
  tzset();
  time_t now = time(nullptr);
  struct tm local;
  if (fileTime == nullptr || localFileTime == nullptr || localtime_r(&now, &local) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The sum wraps as on Windows: west of UTC, 1601-01-01 becomes a count
  // with its top bit set, which the split refuses.
  uint64_t offset =
      static_cast<uint64_t>(static_cast<int64_t>(local.tm_gmtoff)) * posix::kTicksPerSecond;
  *localFileTime = posix::FileTimeOfTicks(posix::TicksOf(*fileTime) + offset);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
  if (fileTime == nullptr || systemTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t ticks = posix::TicksOf(*fileTime);
  // Negative as a signed count: before 1601, which Windows does not accept.
  if ((ticks >> 63) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  time_t seconds =
      static_cast<time_t>(ticks / posix::kTicksPerSecond) - posix::kSecondsBeforeUnixEpoch;
  struct tm fields;
  if (gmtime_r(&seconds, &fields) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  systemTime->wYear = static_cast<WORD>(fields.tm_year + 1900);
  systemTime->wMonth = static_cast<WORD>(fields.tm_mon + 1);
  systemTime->wDayOfWeek = static_cast<WORD>(fields.tm_wday);
  systemTime->wDay = static_cast<WORD>(fields.tm_mday);
  systemTime->wHour = static_cast<WORD>(fields.tm_hour);
  systemTime->wMinute = static_cast<WORD>(fields.tm_min);
  systemTime->wSecond = static_cast<WORD>(fields.tm_sec);
  systemTime->wMilliseconds =
      static_cast<WORD>((ticks % posix::kTicksPerSecond) / posix::kTicksPerMillisecond);
  return TRUE;
}
