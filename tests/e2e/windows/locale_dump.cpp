// Prints the date and time settings the Windows build reads from the user's
// locale at start-up, and a few values rendered with them, one "name=value"
// line each (texts escaped as in the version listing).
#include <cstdio>
#include <string>

#include "../version_listing.h"
#include "fileinfo/date_time_text.h"
#include "fileinfo/locale_settings.h"

namespace {

void Line(const char* name, const Text& value) {
  std::printf("%s=%s\n", name, ListingText(value).c_str());
}

}  // namespace

int main() {
  LoadLocaleFormatSettings();
  const TLocaleFormatSettings& s = LocaleFormatSettings;
  Line("ShortDateFormat", s.ShortDateFormat);
  Line("LongTimeFormat", s.LongTimeFormat);
  Line("DateSeparator", Text(1, s.DateSeparator));
  Line("TimeSeparator", Text(1, s.TimeSeparator));
  Line("TimeAMString", s.TimeAMString);
  Line("TimePMString", s.TimePMString);
  Line("ShortMonthNames1", s.ShortMonthNames[0]);
  Line("LongMonthNames12", s.LongMonthNames[11]);
  Line("ShortDayNames1", s.ShortDayNames[0]);
  Line("LongDayNames7", s.LongDayNames[6]);
  // 2026-12-07 (day 46363) at 14:05:09, at midnight and at 00:00:00.001.
  Line("Afternoon", DateTimeText(46363 + (14 * 3600 + 5 * 60 + 9) / 86400.0));
  Line("Midnight", DateTimeText(46363));
  Line("AfterMidnight", DateTimeText(46363 + 1 / 86400000.0));
  return 0;
}
