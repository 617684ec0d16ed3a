// The date and time settings of the user's locale, read once at start-up.
#pragma once

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
};

extern TLocaleFormatSettings LocaleFormatSettings;

// Sets the thread locale to the user's default and fills LocaleFormatSettings.
void LoadLocaleFormatSettings();
