// The locale calls, answered from the user's POSIX locale (LC_ALL, LC_TIME,
// then LANG) through newlocale and nl_langinfo_l. The one calendar is the
// Gregorian; an item the C library can't give fails as an unknown item does
// on Windows, so the caller takes its default.
#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/text/locale_id.h"
#include "platform/posix/text/strftime_picture.h"
#include "platform/posix/text/utf.h"
#include "platform/posix/win32_api.h"

namespace posix {
namespace {

constexpr LCTYPE kNoUserOverride = 0x80000000u;
constexpr LCTYPE kUseAnsiCodePage = 0x40000000u;
constexpr LCTYPE kReturnNumber = 0x20000000u;
constexpr LCID kLocaleNeutral = 0;

// The user's locale, opened once per name. A locale that isn't installed on
// this host is read as the C locale, under the C locale's identifier.
struct UserLocale {
  std::string name;
  locale_t handle = nullptr;
  LCID lcid = 0;
};

const UserLocale& CurrentUserLocale() {
  static UserLocale current;
  const std::string name = UserLocaleName("LC_TIME");
  if (current.handle != nullptr && current.name == name) return current;
  locale_t handle = newlocale(LC_TIME_MASK, name.c_str(), nullptr);
  LCID lcid = LocaleIdOfName(name);
  if (handle == nullptr) {
    handle = newlocale(LC_TIME_MASK, "C", nullptr);
    lcid = LocaleIdOfName("C");
  }
  if (current.handle != nullptr) freelocale(current.handle);
  current = UserLocale{name, handle, lcid};
  return current;
}

thread_local std::optional<LCID> threadLocale;

bool IsUserLocale(LCID locale) {
  return locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT ||
         locale == kLocaleNeutral || locale == CurrentUserLocale().lcid;
}

std::string LangInfo(nl_item item) {
  const UserLocale& user = CurrentUserLocale();
  const char* text = user.handle != nullptr ? nl_langinfo_l(item, user.handle) : nullptr;
  return text != nullptr ? text : "";
}

LocaleFormats FormatsOfLocale() {
  return LocaleFormats{LangInfo(D_FMT), LangInfo(T_FMT), LangInfo(T_FMT_AMPM)};
}

std::optional<ClockFacts> Clock() {
  LocaleFormats formats = FormatsOfLocale();
  return ClockFactsOf(ExpandFormat(formats.time, formats));
}

std::optional<std::string> Flag(std::optional<ClockFacts> clock, bool ClockFacts::*fact) {
  if (!clock) return std::nullopt;
  return std::string((*clock).*fact ? "1" : "0");
}

std::optional<std::string> NonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

// The item as UTF-8, or nothing when this host can't give it.
std::optional<std::string> LocaleItem(LCTYPE type) {
  // Windows numbers days from Monday (SDAYNAME1) to Sunday (SDAYNAME7); the
  // C library from Sunday (DAY_1).
  if (type >= LOCALE_SDAYNAME1 && type <= LOCALE_SDAYNAME7) {
    return LangInfo(DAY_1 + static_cast<int>((type - LOCALE_SDAYNAME1 + 1) % 7));
  }
  if (type >= LOCALE_SABBREVDAYNAME1 && type <= LOCALE_SABBREVDAYNAME7) {
    return LangInfo(ABDAY_1 + static_cast<int>((type - LOCALE_SABBREVDAYNAME1 + 1) % 7));
  }
  if (type >= LOCALE_SMONTHNAME1 && type < LOCALE_SMONTHNAME1 + 12) {
    return LangInfo(MON_1 + static_cast<int>(type - LOCALE_SMONTHNAME1));
  }
  if (type >= LOCALE_SABBREVMONTHNAME1 && type < LOCALE_SABBREVMONTHNAME1 + 12) {
    return LangInfo(ABMON_1 + static_cast<int>(type - LOCALE_SABBREVMONTHNAME1));
  }
  const LocaleFormats formats = FormatsOfLocale();
  switch (type) {
    case LOCALE_SSHORTDATE:
      return NonEmpty(PictureOf(ExpandFormat(formats.date, formats)));
    case LOCALE_SDATE:
      return DateSeparatorOf(ExpandFormat(formats.date, formats));
    case LOCALE_STIMEFORMAT:
      return NonEmpty(PictureOf(ExpandFormat(formats.time, formats)));
    case LOCALE_STIME: {
      std::optional<ClockFacts> clock = Clock();
      if (!clock || !clock->separated) return std::nullopt;
      return clock->separator;
    }
    case LOCALE_ITIME: {
      std::optional<ClockFacts> clock = Clock();
      if (!clock) return std::nullopt;
      return std::string(clock->twelveHour ? "0" : "1");
    }
    case LOCALE_ITLZERO: return Flag(Clock(), &ClockFacts::leadingZero);
    case LOCALE_ITIMEMARKPOSN: return Flag(Clock(), &ClockFacts::markerFirst);
    case LOCALE_S1159: return LangInfo(AM_STR);
    case LOCALE_S2359: return LangInfo(PM_STR);
    case LOCALE_ICALENDARTYPE: return std::string("1");  // Gregorian
    default: return std::nullopt;
  }
}

// Copies a text result as Windows does: the count with its NUL, the size
// needed when size is 0, ERROR_INSUFFICIENT_BUFFER when it doesn't fit.
int CopyResult(const std::u16string& text, LPWSTR data, int size) {
  const int needed = static_cast<int>(text.size()) + 1;
  if (size == 0) return needed;
  if (size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(data, text.c_str(), static_cast<size_t>(needed) * sizeof(WCHAR));
  return needed;
}

// Days from 1970-01-01 of a Gregorian date, for its weekday.
long DaysFromCivil(long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

bool IsValidDate(const SYSTEMTIME& date) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.wYear < 1 || date.wMonth < 1 || date.wMonth > 12 || date.wDay < 1) return false;
  const bool leap = (date.wYear % 4 == 0 && date.wYear % 100 != 0) || date.wYear % 400 == 0;
  return date.wDay <= kDays[date.wMonth - 1] + ((date.wMonth == 2 && leap) ? 1 : 0);
}

std::u16string Padded(unsigned number, size_t digits) {
  std::string text = std::to_string(number);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return Utf16FromUtf8(text);
}

// A date picture (d, M, y and quoted text) rendered for the user's locale.
// The one calendar has no era names here, so a g picture can't be answered.
bool RenderDate(std::u16string_view picture, const SYSTEMTIME& date, std::u16string& text) {
  const unsigned weekday =
      static_cast<unsigned>(((DaysFromCivil(date.wYear, date.wMonth, date.wDay) % 7) + 11) % 7);
  size_t i = 0;
  while (i < picture.size()) {
    const char16_t c = picture[i];
    if (c == u'\'') {
      // Quoted text, in which '' stands for one quote.
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != u'\'') {
          text += picture[i];
        } else if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
          text += u'\'';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case u'd':
        if (run <= 2) text += Padded(date.wDay, run);
        else text += Utf16FromUtf8(LangInfo((run == 3 ? ABDAY_1 : DAY_1) + static_cast<int>(weekday)));
        break;
      case u'M':
        if (run <= 2) text += Padded(date.wMonth, run);
        else text += Utf16FromUtf8(LangInfo((run == 3 ? ABMON_1 : MON_1) + date.wMonth - 1));
        break;
      case u'y':
        if (run <= 2) text += Padded(date.wYear % 100u, run);
        else text += Padded(date.wYear, 4);
        break;
      case u'g':
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
      default:
        text.append(run, c);
    }
    i += run;
  }
  return true;
}

}  // namespace
}  // namespace posix

LCID GetThreadLocale() {
  return posix::threadLocale.value_or(posix::CurrentUserLocale().lcid);
}

BOOL SetThreadLocale(LCID locale) {
  if (!posix::IsUserLocale(locale) || locale == posix::kLocaleNeutral) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  posix::threadLocale = posix::CurrentUserLocale().lcid;
  return TRUE;
}

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size) {
  if (size < 0 || (size > 0 && data == nullptr) || !posix::IsUserLocale(locale)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((type & posix::kReturnNumber) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::optional<std::string> item =
      posix::LocaleItem(type & ~(posix::kNoUserOverride | posix::kUseAnsiCodePage));
  if (!item) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  return posix::CopyResult(posix::Utf16FromUtf8(*item), data, size);
}

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                   LPWSTR dateText, int size) {
  if (size < 0 || (size > 0 && dateText == nullptr) || date == nullptr ||
      !posix::IsUserLocale(locale) || !posix::IsValidDate(*date)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // The Gregorian calendar is the only one here, so the alternative calendar
  // is that one too.
  if ((flags & ~DWORD{DATE_SHORTDATE | DATE_USE_ALT_CALENDAR}) != 0 ||
      (format != nullptr && (flags & DATE_SHORTDATE) != 0)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::u16string picture;
  if (format != nullptr) {
    picture = format;
  } else {
    std::optional<std::string> shortDate = posix::LocaleItem(LOCALE_SSHORTDATE);
    picture = posix::Utf16FromUtf8(shortDate.value_or("M/d/yyyy"));
  }
  std::u16string text;
  if (!posix::RenderDate(picture, *date, text)) return 0;
  return posix::CopyResult(text, dateText, size);
}
