#include "fileinfo/locale_settings.h"

#include <algorithm>
#include <climits>

#include "platform/win32.h"

TLocaleFormatSettings LocaleFormatSettings;

namespace {

constexpr int kTextItemSize = 256;
constexpr int kCharItemSize = 2;

constexpr const char16_t* kShortMonthNames[12] = {u"Jan", u"Feb", u"Mar", u"Apr",
                                                   u"May", u"Jun", u"Jul", u"Aug",
                                                   u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr const char16_t* kLongMonthNames[12] = {
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December"};
constexpr const char16_t* kShortDayNames[7] = {u"Sun", u"Mon", u"Tue", u"Wed",
                                               u"Thu", u"Fri", u"Sat"};
constexpr const char16_t* kLongDayNames[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                              u"Thursday", u"Friday", u"Saturday"};

// The item's text when the locale gives it into a buffer of `size`
// characters; a count of zero or less (failure, or an item too long for the
// buffer) gives nothing.
bool ReadItem(LCID locale, LCTYPE type, int size, Text& text) {
  WCHAR buffer[kTextItemSize] = {};
  int count = GetLocaleInfoW(locale, type, buffer, std::min(size, kTextItemSize));
  if (count <= 0) return false;
  text.assign(U(buffer), static_cast<size_t>(std::min(count, size) - 1));
  return true;
}

Text TextItem(LCID locale, LCTYPE type, const Text& fallback) {
  Text text;
  return ReadItem(locale, type, kTextItemSize, text) ? text : fallback;
}

// Month and day names: an empty name takes the English one too.
Text NameItem(LCID locale, LCTYPE type, const char16_t* fallback) {
  Text text = TextItem(locale, type, fallback);
  return text.empty() ? Text(fallback) : text;
}

// A one-character item: two or more characters don't fit the buffer.
char16_t CharItem(LCID locale, LCTYPE type, char16_t fallback) {
  Text text;
  if (!ReadItem(locale, type, kCharItemSize, text) || text.empty()) return fallback;
  return text[0];
}

// A numeric item, read as text; text that is no integer gives the default.
int NumberItem(LCID locale, LCTYPE type, int fallback) {
  Text text;
  if (!ReadItem(locale, type, kTextItemSize, text) || text.empty()) return fallback;
  size_t i = (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
  if (i == text.size()) return fallback;
  long long number = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return fallback;
    number = number * 10 + (text[i] - u'0');
    if (number > INT_MAX) return fallback;
  }
  return text[0] == u'-' ? static_cast<int>(-number) : static_cast<int>(number);
}

bool IsEraCalendar(int calendarType) { return calendarType >= 3 && calendarType <= 5; }

// The primary language of a locale identifier; a neutral identifier (low
// word zero) counts as English.
WORD PrimaryLanguage(LCID locale) {
  if ((locale & 0xFFFF) == 0) return LANG_ENGLISH;
  return static_cast<WORD>(locale & 0x3FF);
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c; }

// For an era calendar: "gg" becomes "ggg" and every y becomes e ("yyyy"
// "eeee", "yy" "ee", a single y "e"), so that the era and its year are
// written. Quoted text stays as it is.
Text WithEraPictures(const Text& picture) {
  Text out;
  size_t i = 0;
  while (i < picture.size()) {
    char16_t c = picture[i];
    if (c == u'\'' || c == u'"') {
      size_t end = picture.find(c, i + 1);
      end = end == Text::npos ? picture.size() : end + 1;
      out.append(picture, i, end - i);
      i = end;
      continue;
    }
    if (Lower(c) == u'g' && i + 1 < picture.size() && Lower(picture[i + 1]) == u'g') {
      out += u"ggg";
      i += 2;
      continue;
    }
    out += Lower(c) == u'y' ? u'e' : c;
    ++i;
  }
  return out;
}

// Era names and years come from the platform's alternative-calendar date
// formatting, for the thread locale.
Text PlatformEraText(uint16_t year, uint16_t month, uint16_t day, const Text& picture) {
  SYSTEMTIME date = {};
  date.wYear = year;
  date.wMonth = month;
  date.wDay = day;
  WCHAR buffer[kTextItemSize] = {};
  int count = GetDateFormatW(GetThreadLocale(), DATE_USE_ALT_CALENDAR, &date, W(picture), buffer,
                             kTextItemSize);
  if (count <= 0) return Text();
  return Text(U(buffer), static_cast<size_t>(count - 1));
}

}  // namespace

Text ShortDatePattern(Text picture, int calendarType, uint32_t locale, char16_t dateSeparator) {
  if (IsEraCalendar(calendarType)) {
    picture = WithEraPictures(picture);
  } else {
    WORD language = PrimaryLanguage(locale);
    if (language == LANG_CHINESE || language == LANG_JAPANESE || language == LANG_KOREAN) {
      std::erase_if(picture, [](char16_t c) { return c == u'g' || c == u'G'; });
    }
  }
  // The separator is written back from DateSeparator at output time.
  std::replace(picture.begin(), picture.end(), dateSeparator, u'/');
  return picture;
}

Text LongTimePattern(int leadingZero, int timeFormat, int markerPosition) {
  Text prefix;
  Text postfix;
  if (timeFormat == 0) {
    if (markerPosition != 0) prefix = u"AMPM ";
    else postfix = u" AMPM";
  }
  return prefix + (leadingZero != 0 ? u"hh" : u"h") + u":mm:ss" + postfix;
}

TLocaleFormatSettings ReadLocaleFormatSettings(uint32_t locale) {
  TLocaleFormatSettings settings;
  for (int month = 0; month < 12; ++month) {
    settings.ShortMonthNames[month] =
        NameItem(locale, LOCALE_SABBREVMONTHNAME1 + month, kShortMonthNames[month]);
    settings.LongMonthNames[month] =
        NameItem(locale, LOCALE_SMONTHNAME1 + month, kLongMonthNames[month]);
  }
  // Windows lists days from Monday (item 1) to Sunday (item 7).
  for (int day = 0; day < 7; ++day) {
    LCTYPE item = day == 0 ? 6 : day - 1;
    settings.ShortDayNames[day] =
        NameItem(locale, LOCALE_SABBREVDAYNAME1 + item, kShortDayNames[day]);
    settings.LongDayNames[day] = NameItem(locale, LOCALE_SDAYNAME1 + item, kLongDayNames[day]);
  }
  settings.DateSeparator = CharItem(locale, LOCALE_SDATE, u'/');
  settings.TimeSeparator = CharItem(locale, LOCALE_STIME, u':');
  settings.TimeAMString = TextItem(locale, LOCALE_S1159, u"am");
  settings.TimePMString = TextItem(locale, LOCALE_S2359, u"pm");

  settings.ShortDateFormat =
      ShortDatePattern(TextItem(locale, LOCALE_SSHORTDATE, u"m/d/yy"),
                       NumberItem(locale, LOCALE_ICALENDARTYPE, 1), locale, settings.DateSeparator);
  settings.LongTimeFormat = LongTimePattern(NumberItem(locale, LOCALE_ITLZERO, 0),
                                            NumberItem(locale, LOCALE_ITIME, 0),
                                            NumberItem(locale, LOCALE_ITIMEMARKPOSN, 0));
  settings.EraText = PlatformEraText;
  return settings;
}

void LoadLocaleFormatSettings() {
  SetThreadLocale(LOCALE_USER_DEFAULT);
  LocaleFormatSettings = ReadLocaleFormatSettings(GetThreadLocale());
}
