#include <gtest/gtest.h>

#include "fileinfo/time_stamps.h"
#include "support/file_time.h"

namespace {

constexpr uint64_t kTicksPerDay = 864000000000ULL;

}  // namespace

TEST(ComposeDateTimeValue, DaysCountFrom30December1899) {
  struct Case {
    uint16_t year, month, day, hour, minute, second, millisecond;
    double value;
  } cases[] = {
      {1899, 12, 30, 0, 0, 0, 0, 0.0},    {1899, 12, 30, 6, 0, 0, 0, 0.25},
      {1899, 12, 29, 18, 0, 0, 0, -1.75},  // the time of day counts away from zero
      {1899, 12, 29, 6, 0, 0, 0, -1.25},  {2024, 1, 1, 0, 0, 0, 0, 45292.0},
      {2024, 1, 1, 12, 0, 0, 0, 45292.5}, {1601, 1, 1, 0, 0, 0, 0, -109205.0},
      {1, 1, 1, 0, 0, 0, 0, -693593.0},   {9999, 12, 31, 0, 0, 0, 0, 2958465.0},
      {2000, 2, 29, 0, 0, 0, 0, 36585.0},  // divisible by 400: a leap year
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour);
    EXPECT_EQ(
        ComposeDateTimeValue(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond),
        c.value);
  }
}

TEST(ComposeDateTimeValue, NoonAddsExactlyHalfADay) {
  for (uint16_t year : {1899, 1900, 1970, 2024, 9999}) {
    SCOPED_TRACE(year);
    double midnight = ComposeDateTimeValue(year, 12, 31, 0, 0, 0, 0);
    EXPECT_EQ(ComposeDateTimeValue(year, 12, 31, 12, 0, 0, 0), midnight + 0.5);
  }
}

TEST(ComposeDateTimeValue, InvalidPartsFallBack) {
  // A date out of range gives 0.0; a time out of range leaves the day alone.
  EXPECT_EQ(ComposeDateTimeValue(10000, 1, 1, 0, 0, 0, 0), 0.0);
  EXPECT_EQ(ComposeDateTimeValue(0, 1, 1, 0, 0, 0, 0), 0.0);
  EXPECT_EQ(ComposeDateTimeValue(2024, 1, 1, 24, 0, 0, 0), 45292.0);
  EXPECT_EQ(ComposeDateTimeValue(2024, 1, 1, 0, 0, 0, 1000), 45292.0);
}

TEST(EncodeDayNumber, RefusesWhatIsNotADate) {
  struct Case {
    uint16_t year, month, day;
  } invalid[] = {{0, 1, 1},    {10000, 1, 1}, {2024, 0, 1},  {2024, 13, 1},
                 {2024, 1, 0}, {2024, 4, 31}, {1900, 2, 29}, {2023, 2, 29}};
  for (const Case& c : invalid) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    double days = 123.0;
    EXPECT_FALSE(EncodeDayNumber(c.year, c.month, c.day, days));
    EXPECT_EQ(days, 123.0);  // written only on success
  }
  double days = 0.0;
  EXPECT_TRUE(EncodeDayNumber(2024, 2, 29, days));
  EXPECT_EQ(days, 45351.0);
}

TEST(EncodeDayFraction, MillisecondsOfTheDay) {
  double fraction = 7.0;
  EXPECT_FALSE(EncodeDayFraction(0, 60, 0, 0, fraction));
  EXPECT_FALSE(EncodeDayFraction(0, 0, 60, 0, fraction));
  EXPECT_EQ(fraction, 7.0);
  EXPECT_TRUE(EncodeDayFraction(23, 59, 59, 999, fraction));
  EXPECT_EQ(fraction, 86399999 / 86400000.0);
  EXPECT_TRUE(EncodeDayFraction(6, 0, 0, 0, fraction));
  EXPECT_EQ(fraction, 0.25);
}

TEST(LocalDateTimeFromFileTime, YearTenThousandGivesZero) {
  // 10000-01-03 00:00 UTC: year 10000 in every zone.
  EXPECT_EQ(LocalDateTimeFromFileTime(FileTimeOfTicks(2650467744000000000ULL + 2 * kTicksPerDay)),
            0.0);
  // 9999-12-30 12:00 UTC is still a date, wherever the zone lies.
  double lastDays = LocalDateTimeFromFileTime(FileTimeOfTicks(2650466448000000000ULL));
  EXPECT_GT(lastDays, 2958463.0);
  EXPECT_LT(lastDays, 2958466.0);
}

TEST(LocalDateTimeFromFileTime, TopBitSetGivesZero) {
  EXPECT_EQ(LocalDateTimeFromFileTime(FileTimeOfTicks(0x8000000000000000ULL)), 0.0);
}

TEST(LastWriteLocalTime, NeverFilledRecordIsNotLaterThanDayZero) {
  // 1601-01-01 UTC: 0.0 west of UTC, -109205 and a little less elsewhere.
  FileDateTimeInfo info{};
  double value = LastWriteLocalTime(info);
  EXPECT_LE(value, 0.0);
  EXPECT_TRUE(value == 0.0 || (value <= -109205.0 && value > -109206.0)) << value;
}

TEST(LastWriteLocalTime, EqualTimesInSeparateRecordsCompareAsTheUpdateDoes) {
  // UTC times whose day fraction is no binary fraction, each value made by a
  // call of its own and subtracted as the update decision does: a value kept
  // wider than a double on one side would leave a difference behind.
  const uint64_t times[] = {
      134411259090000000ULL,  // 2026-12-07 14:05:09
      133655064871230000ULL,  // 2024-07-15 08:41:27.123
      134183926634567891ULL,  // 2026-03-19 11:17:43.4567891
      134116991999999999ULL,  // 2025-12-31 23:59:59.9999999
      133536980017000000ULL,  // 2024-02-29 16:33:21.7
  };
  constexpr uint64_t kMillisecond = 10000;
  for (uint64_t ticks : times) {
    SCOPED_TRACE(ticks);
    FileDateTimeInfo local{};
    FileDateTimeInfo server{};
    local.ftLastWriteTime = FileTimeOfTicks(ticks);
    server.ftLastWriteTime = FileTimeOfTicks(ticks);
    EXPECT_EQ(LastWriteLocalTime(server) - LastWriteLocalTime(local), 0.0);
    server.ftLastWriteTime = FileTimeOfTicks(ticks + kMillisecond);
    EXPECT_GT(LastWriteLocalTime(server) - LastWriteLocalTime(local), 0.0);
    server.ftLastWriteTime = FileTimeOfTicks(ticks - kMillisecond);
    EXPECT_LT(LastWriteLocalTime(server) - LastWriteLocalTime(local), 0.0);
  }
}
