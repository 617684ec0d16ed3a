// The date and time settings of the user's locale, read once at start-up.
#pragma once

#include <cstdint>
#include <functional>

#include "console/text.h"

struct TLocaleFormatSettings {
  Text ShortDateFormat;
  Text LongTimeFormat;
  char16_t DateSeparator = u'/';
  char16_t TimeSeparator = u':';
  Text TimeAMString;
  Text TimePMString;
  Text ShortMonthNames[12];
  Text LongMonthNames[12];
  Text ShortDayNames[7];  // 0 = Sunday
  Text LongDayNames[7];
  // The era name (picture "gg") or the year of the era ("yy", "yyyy") of a
  // date, for the g and e runs of a pattern; unset, those runs write nothing.
  std::function<Text(uint16_t year, uint16_t month, uint16_t day, const Text& picture)> EraText;
};

extern TLocaleFormatSettings LocaleFormatSettings;

// Sets the thread locale to the user's default and fills LocaleFormatSettings.
void LoadLocaleFormatSettings();

// The settings of a locale, item by item as the locale gives them; what the
// locale can't give takes its default. Used by LoadLocaleFormatSettings.
TLocaleFormatSettings ReadLocaleFormatSettings(uint32_t locale);

// The short date pattern as the settings use it: era pictures rewritten for
// an era calendar (calendar types 3, 4, 5), g removed for Chinese, Japanese
// and Korean, and the locale's date separator turned into /.
Text ShortDatePattern(Text picture, int calendarType, uint32_t locale, char16_t dateSeparator);

// "h" or "hh", ":mm:ss", and the AMPM marker before or after for a 12-hour
// clock.
Text LongTimePattern(int leadingZero, int timeFormat, int markerPosition);
