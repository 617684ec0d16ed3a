// File times: the split into calendar fields and the shift to local time,
// with the zone taken from TZ.
#include <gtest/gtest.h>

#include "fileinfo/time_stamps.h"
#include "platform/win32.h"
#include "unit/posix/scoped_environment.h"
#include "support/file_time.h"

namespace {

// 2024-03-05 12:34:56.789 UTC, a Tuesday.
constexpr uint64_t kSample = 133541156967890000ULL;
constexpr uint64_t kTicksPerMinute = 600000000ULL;

}  // namespace

TEST(FileTimeToSystemTime, CalendarFields) {
  SYSTEMTIME fields{};
  FILETIME sample = FileTimeOfTicks(kSample);
  ASSERT_TRUE(FileTimeToSystemTime(&sample, &fields));
  EXPECT_EQ(fields.wYear, 2024);
  EXPECT_EQ(fields.wMonth, 3);
  EXPECT_EQ(fields.wDay, 5);
  EXPECT_EQ(fields.wDayOfWeek, 2);
  EXPECT_EQ(fields.wHour, 12);
  EXPECT_EQ(fields.wMinute, 34);
  EXPECT_EQ(fields.wSecond, 56);
  EXPECT_EQ(fields.wMilliseconds, 789);
  FILETIME zero = FileTimeOfTicks(0);
  ASSERT_TRUE(FileTimeToSystemTime(&zero, &fields));
  EXPECT_EQ(fields.wYear, 1601);
  FILETIME last = FileTimeOfTicks(0x7FFFFFFFFFFFFFFFULL);
  ASSERT_TRUE(FileTimeToSystemTime(&last, &fields));
  EXPECT_EQ(fields.wYear, 30828);
}

TEST(FileTimeToSystemTime, RefusesTheTopBit) {
  SYSTEMTIME fields{};
  FILETIME negative = FileTimeOfTicks(0x8000000000000000ULL);
  SetLastError(0);
  EXPECT_FALSE(FileTimeToSystemTime(&negative, &fields));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FileTimeToLocalFileTime, ShiftsByTheZoneInForceNow) {
  ScopedEnvironment env;
  struct Case {
    const char* zone;
    int64_t minutes;  // east of UTC
  } cases[] = {{"UTC0", 0}, {"EST5", -300}, {"CET-1", 60}, {"NPT-5:45", 345}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zone);
    env.Set("TZ", c.zone);
    FILETIME utc = FileTimeOfTicks(kSample);
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    int64_t shift = static_cast<int64_t>(TicksOf(local) - kSample);
    EXPECT_EQ(shift, c.minutes * static_cast<int64_t>(kTicksPerMinute));
  }
}

TEST(LastWriteLocalTime, NeverFilledRecordInEachZone) {
  ScopedEnvironment env;
  FileDateTimeInfo info{};
  env.Set("TZ", "UTC0");
  EXPECT_EQ(LastWriteLocalTime(info), -109205.0);
  // West of UTC the shift lands before 1601, which the split refuses.
  env.Set("TZ", "EST5");
  EXPECT_EQ(LastWriteLocalTime(info), 0.0);
  // East of UTC the time of day counts away from zero on a negative day.
  env.Set("TZ", "CET-1");
  EXPECT_DOUBLE_EQ(LastWriteLocalTime(info), -109205.0 - 1.0 / 24);
}

TEST(LastWriteLocalTime, SameFileTimeInTwoZones) {
  ScopedEnvironment env;
  FileDateTimeInfo info{};
  info.ftLastWriteTime = FileTimeOfTicks(kSample);
  double utcDay = 45356.0;  // 2024-03-05
  double utcFraction = (12 * 3600000.0 + 34 * 60000.0 + 56 * 1000.0 + 789) / 86400000.0;
  env.Set("TZ", "UTC0");
  EXPECT_DOUBLE_EQ(LastWriteLocalTime(info), utcDay + utcFraction);
  env.Set("TZ", "EST5");
  EXPECT_DOUBLE_EQ(LastWriteLocalTime(info), utcDay + utcFraction - 5.0 / 24);
}

TEST(GetVersionExW, TenZero) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwMajorVersion, 10u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  info.dwOSVersionInfoSize = 8;
  EXPECT_FALSE(GetVersionExW(&info));
}
