// The locale calls on POSIX, for the locales the program meets: Spain,
// Mexico, the United States and the C locale. A locale this host hasn't
// generated is skipped.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "fileinfo/date_time_text.h"
#include "fileinfo/locale_settings.h"
#include "platform/posix/text/locale_id.h"
#include "platform/win32.h"

namespace {

// Sets LC_ALL for the test's length.
class UserLocale {
 public:
  explicit UserLocale(const char* name) {
    const char* saved = std::getenv("LC_ALL");
    if (saved != nullptr) saved_ = saved;
    setenv("LC_ALL", name, 1);
  }
  ~UserLocale() {
    if (saved_) setenv("LC_ALL", saved_->c_str(), 1);
    else unsetenv("LC_ALL");
  }
  static bool Installed(const char* name) {
    locale_t probe = newlocale(LC_ALL_MASK, name, nullptr);
    if (probe == nullptr) return false;
    freelocale(probe);
    return true;
  }

 private:
  std::optional<std::string> saved_;
};

#define REQUIRE_LOCALE(name)                                                              \
  if (!UserLocale::Installed(name)) GTEST_SKIP() << name << " is not generated here (" \
                                                 << "add it to /etc/locale.gen, run locale-gen)"

Text Item(LCTYPE type) {
  WCHAR buffer[256];
  int count = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 256);
  if (count <= 0) return u"<fails>";
  return Text(U(buffer), static_cast<size_t>(count - 1));
}

struct LocaleCase {
  const char* name;
  LCID lcid;
  const char16_t* shortDate;
  const char16_t* itime;
  const char16_t* itlzero;
  const char16_t* am;
  const char16_t* firstMonth;
  const char16_t* monday;
  const char16_t* sunday;
};

const LocaleCase kLocales[] = {
    {"es_ES.UTF-8", 0x0C0A, u"dd/MM/yy", u"1", u"1", u"", u"enero", u"lunes", u"dom"},
    {"es_MX.UTF-8", 0x080A, u"dd/MM/yy", u"1", u"1", u"", u"enero", u"lunes", u"dom"},
    {"en_US.UTF-8", 0x0409, u"MM/dd/yyyy", u"0", u"1", u"AM", u"January", u"Monday", u"Sun"},
    {"C", 0x0409, u"MM/dd/yy", u"1", u"1", u"AM", u"January", u"Monday", u"Sun"},
};

TEST(PosixLocale, ItemsOfTheUserLocale) {
  for (const LocaleCase& c : kLocales) {
    SCOPED_TRACE(c.name);
    if (!UserLocale::Installed(c.name)) continue;
    UserLocale user(c.name);
    ASSERT_TRUE(SetThreadLocale(LOCALE_USER_DEFAULT));
    EXPECT_EQ(GetThreadLocale(), c.lcid);
    EXPECT_EQ(Item(LOCALE_SSHORTDATE), c.shortDate);
    EXPECT_EQ(Item(LOCALE_SDATE), u"/");
    EXPECT_EQ(Item(LOCALE_STIME), u":");
    EXPECT_EQ(Item(LOCALE_ITIME), c.itime);
    EXPECT_EQ(Item(LOCALE_ITLZERO), c.itlzero);
    EXPECT_EQ(Item(LOCALE_ITIMEMARKPOSN), u"0");
    EXPECT_EQ(Item(LOCALE_ICALENDARTYPE), u"1");
    EXPECT_EQ(Item(LOCALE_S1159), c.am);
    EXPECT_EQ(Item(LOCALE_SMONTHNAME1), c.firstMonth);
    EXPECT_EQ(Item(LOCALE_SDAYNAME1), c.monday);
    EXPECT_EQ(Item(LOCALE_SABBREVDAYNAME7), c.sunday);
  }
}

TEST(PosixLocale, NamesComeInUtf16) {
  REQUIRE_LOCALE("es_ES.UTF-8");
  UserLocale user("es_ES.UTF-8");
  EXPECT_EQ(Item(LOCALE_SDAYNAME1 + 2), u"mi\u00e9rcoles");
  EXPECT_EQ(Item(LOCALE_SABBREVDAYNAME1 + 5), u"s\u00e1b");
  EXPECT_EQ(Item(LOCALE_SABBREVMONTHNAME1 + 11), u"dic");
}

// 2026-12-07 is day 46363.
TEST(PosixLocale, DateTimeTextInEraFreeLocales) {
  struct Case {
    const char* name;
    const char16_t* afternoon;
    const char16_t* midnight;
    const char16_t* afterMidnight;
  } cases[] = {
      {"es_ES.UTF-8", u"07/12/26 14:05:09", u"07/12/26", u"07/12/26 00:00:00"},
      {"es_MX.UTF-8", u"07/12/26 14:05:09", u"07/12/26", u"07/12/26 00:00:00"},
      {"en_US.UTF-8", u"12/07/2026 02:05:09 PM", u"12/07/2026", u"12/07/2026 12:00:00 AM"},
  };
  const TLocaleFormatSettings saved = LocaleFormatSettings;
  int tested = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!UserLocale::Installed(c.name)) continue;
    UserLocale user(c.name);
    LoadLocaleFormatSettings();
    EXPECT_EQ(DateTimeText(46363 + (14 * 3600 + 5 * 60 + 9) / 86400.0), c.afternoon);
    EXPECT_EQ(DateTimeText(46363), c.midnight);
    EXPECT_EQ(DateTimeText(46363 + 1 / 86400000.0), c.afterMidnight);
    ++tested;
  }
  LocaleFormatSettings = saved;
  if (tested == 0) GTEST_SKIP() << "none of es_ES.UTF-8, es_MX.UTF-8, en_US.UTF-8 is generated";
}

TEST(PosixLocale, SpanishSettingsHaveEmptyMarkersAndSpanishNames) {
  REQUIRE_LOCALE("es_ES.UTF-8");
  UserLocale user("es_ES.UTF-8");
  const TLocaleFormatSettings saved = LocaleFormatSettings;
  LoadLocaleFormatSettings();
  EXPECT_EQ(LocaleFormatSettings.ShortDateFormat, u"dd/MM/yy");
  EXPECT_EQ(LocaleFormatSettings.LongTimeFormat, u"hh:mm:ss");
  EXPECT_EQ(LocaleFormatSettings.TimeAMString, u"");
  EXPECT_EQ(LocaleFormatSettings.TimePMString, u"");
  EXPECT_EQ(LocaleFormatSettings.LongDayNames[0], u"domingo");
  EXPECT_EQ(LocaleFormatSettings.ShortMonthNames[0], u"ene");
  LocaleFormatSettings = saved;
}

TEST(PosixLocale, MissingLocaleReadsAsTheCLocale) {
  UserLocale user("xx_YY.UTF-8");
  ASSERT_TRUE(SetThreadLocale(LOCALE_USER_DEFAULT));
  EXPECT_EQ(GetThreadLocale(), 0x0409u);
  EXPECT_EQ(Item(LOCALE_SSHORTDATE), u"MM/dd/yy");
  EXPECT_EQ(Item(LOCALE_SMONTHNAME1), u"January");
}

TEST(PosixLocale, BufferRulesAndUnknownItems) {
  UserLocale user("C");
  WCHAR buffer[8];
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, nullptr, 0), 2);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, buffer, 2), 2);
  EXPECT_EQ(buffer[0], u'/');
  EXPECT_EQ(buffer[1], 0);
  SetLastError(0);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1, buffer, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  EXPECT_EQ(GetLocaleInfoW(0x0411, LOCALE_SDATE, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(SetThreadLocale(0x0411));
}

TEST(PosixLocale, DateFormat) {
  REQUIRE_LOCALE("es_ES.UTF-8");
  UserLocale user("es_ES.UTF-8");
  SYSTEMTIME date = {};
  date.wYear = 2026;
  date.wMonth = 12;
  date.wDay = 7;
  struct Case {
    const char16_t* picture;
    const char16_t* text;  // null: the call fails
  } cases[] = {
      {u"dd/MM/yyyy", u"07/12/2026"},
      {u"d 'de' MMMM 'de' yy", u"7 de diciembre de 26"},
      {u"dddd ddd MMM y", u"lunes lun dic 26"},
      {u"'It''s' d", u"It's 7"},
      {u"gg", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    WCHAR buffer[64];
    int count = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_USE_ALT_CALENDAR, &date, W(c.picture),
                               buffer, 64);
    if (c.text == nullptr) {
      EXPECT_EQ(count, 0);
      continue;
    }
    ASSERT_GT(count, 0);
    EXPECT_EQ(Text(U(buffer), static_cast<size_t>(count - 1)), c.text);
  }
  date.wDay = 32;
  WCHAR buffer[64];
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, W(u"d"), buffer, 64), 0);
}

TEST(LocaleIdOfName, PrimaryLanguageAndTerritory) {
  struct Case {
    const char* name;
    LCID lcid;
  } cases[] = {
      {"es_ES.UTF-8", 0x0C0A}, {"es_MX", 0x080A},  {"es_AR.UTF-8@euro", 0x2C0A},
      {"en_US.UTF-8", 0x0409}, {"en_GB", 0x0809},  {"ja_JP.UTF-8", 0x0411},
      {"zh_TW", 0x0404},       {"ko_KR", 0x0412},  {"de_DE", 0x0407},
      {"fr", 0x040C},          {"C", 0x0409},      {"POSIX", 0x0409},
      {"C.UTF-8", 0x0409},     {"", 0x0409},       {"tlh_XX", 0x1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(posix::LocaleIdOfName(c.name), c.lcid);
  }
}

}  // namespace
