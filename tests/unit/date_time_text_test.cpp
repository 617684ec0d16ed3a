#include "fileinfo/date_time_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// 2026-12-07, a Monday, is day 46363.
constexpr int kDecember7 = 46363;

double At(int day, int hour, int minute, int second, int millisecond) {
  return day + (((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / 86400000.0;
}

TLocaleFormatSettings Settings(const char16_t* date, const char16_t* time) {
  TLocaleFormatSettings s;
  s.ShortDateFormat = date;
  s.LongTimeFormat = time;
  s.DateSeparator = u'/';
  s.TimeSeparator = u':';
  s.TimeAMString = u"a.m.";
  s.TimePMString = u"p.m.";
  const char16_t* shortMonths[12] = {u"ene", u"feb", u"mar", u"abr", u"may", u"jun",
                                     u"jul", u"ago", u"sep", u"oct", u"nov", u"dic"};
  const char16_t* longMonths[12] = {u"enero", u"febrero", u"marzo", u"abril",
                                    u"mayo", u"junio", u"julio", u"agosto",
                                    u"septiembre", u"octubre", u"noviembre", u"diciembre"};
  const char16_t* shortDays[7] = {u"dom", u"lun", u"mar", u"mi\u00e9", u"jue", u"vie", u"s\u00e1b"};
  const char16_t* longDays[7] = {u"domingo", u"lunes", u"martes", u"mi\u00e9rcoles",
                                 u"jueves", u"viernes", u"s\u00e1bado"};
  for (int i = 0; i < 12; ++i) {
    s.ShortMonthNames[i] = shortMonths[i];
    s.LongMonthNames[i] = longMonths[i];
  }
  for (int i = 0; i < 7; ++i) {
    s.ShortDayNames[i] = shortDays[i];
    s.LongDayNames[i] = longDays[i];
  }
  return s;
}

struct Case {
  const char16_t* date;
  const char16_t* time;
  double value;
  const char16_t* text;
};

void Check(const Case* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "case " << i);
    EXPECT_EQ(DateTimeText(c.value, Settings(c.date, c.time)), c.text);
  }
}

TEST(DateTimeText, DateAloneAtMidnightOtherwiseDateBlankTime) {
  const Case cases[] = {
      {u"dd/MM/yyyy", u"hh:mm:ss", At(kDecember7, 14, 5, 9, 0), u"07/12/2026 14:05:09"},
      {u"dd/MM/yyyy", u"hh:mm:ss", At(kDecember7, 0, 0, 0, 0), u"07/12/2026"},
      {u"dd/MM/yyyy", u"h:mm:ss", At(kDecember7, 0, 0, 0, 1), u"07/12/2026 0:00:00"},
      {u"dd/MM/yyyy", u"h:mm:ss AMPM", At(kDecember7, 0, 0, 0, 1), u"07/12/2026 12:00:00 a.m."},
      // Half a millisecond rounds up to the next whole one.
      {u"d/M/yy", u"h:mm:ss.zzz", kDecember7 + 0.5 / 86400000.0, u"7/12/26 0:00:00.001"},
      {u"d/M/yy", u"h:mm:ss", At(kDecember7, 23, 59, 59, 999), u"7/12/26 23:59:59"},
      // A hair below a whole second is that second, not the one before.
      {u"d/M/yy", u"h:mm:ss", std::nextafter(At(kDecember7, 14, 5, 10, 0), 0.0), u"7/12/26 14:05:10"},
      // Day 0 and the days before it: the fraction counts back from the day.
      {u"dd/MM/yyyy", u"hh:mm", 0.0, u"30/12/1899"},
      {u"dd/MM/yyyy", u"hh:mm", -1.25, u"29/12/1899 06:00"},
      {u"yyyy-MM-dd", u"", At(2, 0, 0, 0, 0), u"1900-01-01"},
      {u"yyyy-MM-dd", u"", 60 - 1 + 1.0, u"1900-02-28"},
      {u"yyyy-MM-dd", u"", 61.0, u"1900-03-01"},  // 1900 was no leap year
      {u"yyyy-MM-dd", u"", 2958465.0, u"9999-12-31"},
      {u"yyyy-MM-dd", u"", -693593.0, u"0001-01-01"},
  };
  Check(cases, std::size(cases));
}

TEST(DateTimeText, ValuesWithoutADateGiveNoText) {
  const TLocaleFormatSettings s = Settings(u"dd/MM/yyyy", u"hh:mm:ss");
  for (double value : {std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(), 2958466.0, -693594.0, 1e300}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(DateTimeText(value, s), u"");
  }
}

TEST(DateTimeText, TwelveHourClock) {
  const Case cases[] = {
      {u"", u"h:mm:ss AMPM", At(kDecember7, 0, 30, 0, 0), u" 12:30:00 a.m."},
      {u"", u"h:mm:ss AMPM", At(kDecember7, 11, 59, 0, 0), u" 11:59:00 a.m."},
      {u"", u"h:mm:ss AMPM", At(kDecember7, 12, 0, 0, 1), u" 12:00:00 p.m."},
      {u"", u"h:mm:ss AMPM", At(kDecember7, 13, 0, 0, 0), u" 1:00:00 p.m."},
      {u"", u"hh:mm:ss AMPM", At(kDecember7, 13, 0, 0, 0), u" 01:00:00 p.m."},
      {u"", u"h:mm:ss AMPM", At(kDecember7, 23, 0, 0, 0), u" 11:00:00 p.m."},
      // The marker written first switches every later hour.
      {u"", u"AMPM h:mm:ss", At(kDecember7, 0, 0, 1, 0), u" a.m. 12:00:01"},
      {u"", u"AMPM h:mm:ss", At(kDecember7, 13, 0, 0, 0), u" p.m. 1:00:00"},
      // am/pm and a/p write the pattern's own letters, in its own case.
      {u"", u"h:mm am/pm", At(kDecember7, 9, 5, 0, 0), u" 9:05 am"},
      {u"", u"h:mm AM/pm", At(kDecember7, 21, 5, 0, 0), u" 9:05 pm"},
      {u"", u"h:mm a/P", At(kDecember7, 12, 5, 0, 0), u" 12:05 P"},
      {u"", u"h:mm A/p", At(kDecember7, 0, 5, 0, 0), u" 12:05 A"},
      // The scan stops at the next h, quoted or not, and skips quoted a.
      {u"", u"h h:mm AMPM", At(kDecember7, 13, 0, 0, 0), u" 13 1:00 p.m."},
      {u"", u"h 'h' ampm", At(kDecember7, 13, 0, 0, 0), u" 13 h p.m."},
      {u"", u"h 'a/p' x", At(kDecember7, 13, 0, 0, 0), u" 13 a/p x"},
      // The first a decides: one that begins no marker keeps 24 hours.
      {u"", u"h aa AMPM", At(kDecember7, 13, 0, 0, 0), u" 13 aa p.m."},
      // Each pattern starts in the 24-hour form.
      {u"AMPM h", u"h", At(kDecember7, 13, 0, 0, 0), u"p.m. 1 13"},
  };
  Check(cases, std::size(cases));
}

TEST(DateTimeText, MinutesAfterAnHour) {
  const double value = At(kDecember7, 14, 5, 9, 0);
  const Case cases[] = {
      {u"", u"h:m", value, u" 14:5"},
      {u"", u"hh:mm", value, u" 14:05"},
      {u"d/m", u"", value, u"7/12 "},
      // However far back the h was, with text between.
      {u"", u"hh 'x' \"y\" mm", value, u" 14 x y 05"},
      // Minutes count as n for the next m, which is the month again.
      {u"", u"hh:mm:mm", value, u" 14:05:12"},
      // Any other letter in between ends the rule.
      {u"", u"h s m", value, u" 14 9 12"},
      {u"", u"h:nn:ss", value, u" 14:05:09"},
      // mmm after h is the short month name.
      {u"", u"h mmm", value, u" 14 dic"},
  };
  Check(cases, std::size(cases));
}

TEST(DateTimeText, Elements) {
  const double value = At(kDecember7, 14, 5, 9, 42);
  const Case cases[] = {
      {u"d dd ddd dddd", u"", value, u"7 07 lun lunes "},
      {u"D DD DdD", u"", value, u"7 07 777 "},  // dD is two runs
      {u"m mm mmm mmmm mmmmm", u"", value, u"12 12 dic diciembre diciembre "},
      {u"y yy yyy yyyy yyyyy", u"", value, u"26 26 2026 2026 2026 "},
      {u"", u"h hh hhh n nn nnn s ss sss", value, u" 14 14 14 5 05 05 9 09 09"},
      {u"", u"z zz zzz zzzz", value, u" 42 42 042 042"},
      {u"", u"aaa aaaa a aa aaaaa", value, u" lun lunes a aa aaaaa"},
      // Separators come from the settings.
      {u"dd/MM/yy", u"hh:nn", value, u"07/12/26 14:05"},
      // Quoted text, up to the end when the quote isn't closed.
      {u"d 'de' mmmm", u"", value, u"7 de diciembre "},
      {u"\"dd\"/dd", u"", value, u"dd/07 "},
      {u"dd 'de mmmm", u"", value, u"07 de mmmm "},
      // Other characters stand for themselves.
      {u"dd-MM-yyyy ? q", u"", value, u"07-12-2026 ? q "},
  };
  Check(cases, std::size(cases));
}

TEST(DateTimeText, NestedPatternsWriteNothingButTheBlankOfC) {
  const Case cases[] = {
      {u"c|dd", u"t|tt|c", At(kDecember7, 14, 5, 9, 0), u" |07 || "},
      {u"c|dd", u"t", At(kDecember7, 0, 0, 0, 0), u"|07"},
      {u"ddddd|dddddd|dd", u"", At(kDecember7, 0, 0, 0, 0), u"||07"},
  };
  Check(cases, std::size(cases));
}

TEST(DateTimeText, EraRunsAskTheEraText) {
  TLocaleFormatSettings s = Settings(u"gg e ee eee/mm/dd", u"");
  s.EraText = [](uint16_t year, uint16_t month, uint16_t day, const Text& picture) {
    EXPECT_EQ(year, 2026);
    EXPECT_EQ(month, 12);
    EXPECT_EQ(day, 7);
    return u"<" + picture + u">";
  };
  EXPECT_EQ(DateTimeText(kDecember7, s), u"<gg> <yy> <yy> <yyyy>/12/07");
  s.EraText = nullptr;
  EXPECT_EQ(DateTimeText(kDecember7, s), u"   /12/07");
}

TEST(DateTimeText, UsesTheProcessSettings) {
  const TLocaleFormatSettings saved = LocaleFormatSettings;
  LocaleFormatSettings = Settings(u"yyyy|MM|dd", u"hh:nn");
  EXPECT_EQ(DateTimeText(At(kDecember7, 1, 2, 0, 0)), u"2026|12|07 01:02");
  LocaleFormatSettings = saved;
}

}  // namespace
