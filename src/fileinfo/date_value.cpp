// Local date-time values: days since 1899-12-30, the fraction the time of day.
#include <cfloat>

#include "fileinfo/time_stamps.h"
#include "platform/win32.h"

// The update decision subtracts two of these values and copies the program
// unless the difference is 0.0 or less: each must be the one IEEE double its
// parts make, never a wider intermediate. A build that evaluates with excess
// precision stops here; a target whose arithmetic is wider by default asks
// for plain doubles in its toolchain file.
static_assert(FLT_EVAL_METHOD == 0,
              "date values must be computed in plain double precision (FLT_EVAL_METHOD 0): see "
              "the target's toolchain file; a build folder configured before needs cmake --fresh");

namespace {

constexpr uint16_t kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Day 1 is 0001-01-01; 1899-12-30 is day 693594, the value's day 0.
constexpr int32_t kDaysBeforeValueEpoch = 693594;
constexpr double kMillisecondsPerDay = 86400000.0;

bool IsLeapYear(uint16_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

uint16_t MonthLength(uint16_t year, uint16_t month) {
  return month == 2 && IsLeapYear(year) ? 29 : kMonthLength[month - 1];
}

}  // namespace

bool EncodeDayNumber(uint16_t year, uint16_t month, uint16_t day, double& days) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > MonthLength(year, month)) return false;
  int32_t dayOfYear = day;
  for (uint16_t before = 1; before < month; ++before) dayOfYear += MonthLength(year, before);
  int32_t i = year - 1;
  days = i * 365 + i / 4 - i / 100 + i / 400 + dayOfYear - kDaysBeforeValueEpoch;
  return true;
}

bool EncodeDayFraction(uint16_t hour, uint16_t minute, uint16_t second, uint16_t millisecond,
                       double& fraction) {
  if (hour >= 24 || minute >= 60 || second >= 60 || millisecond >= 1000) return false;
  int32_t milliseconds = hour * 3600000 + minute * 60000 + second * 1000 + millisecond;
  fraction = milliseconds / kMillisecondsPerDay;
  return true;
}

double ComposeDateTimeValue(uint16_t year, uint16_t month, uint16_t day, uint16_t hour,
                            uint16_t minute, uint16_t second, uint16_t millisecond) {
  double days = 0.0;
  if (!EncodeDayNumber(year, month, day, days)) return 0.0;
  double fraction = 0.0;
  if (!EncodeDayFraction(hour, minute, second, millisecond, fraction)) return days;
  // Before day 0 the time of day counts away from zero: 1899-12-29 06:00 is -1.25.
  return days >= 0 ? days + fraction : days - fraction;
}

double LocalDateTimeFromFileTime(const FILETIME& time) {
  // The zone offset in force now, not the one of the file's moment: two
  // values compared within one run get the same shift. A shift that fails
  // gives 0.0, as a time the split refuses does.
  FILETIME local{};
  if (!FileTimeToLocalFileTime(&time, &local)) return 0.0;
  SYSTEMTIME fields{};
  if (!FileTimeToSystemTime(&local, &fields)) return 0.0;
  return ComposeDateTimeValue(fields.wYear, fields.wMonth, fields.wDay, fields.wHour,
                              fields.wMinute, fields.wSecond, fields.wMilliseconds);
}
