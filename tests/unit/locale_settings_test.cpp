#include "fileinfo/locale_settings.h"

#include <gtest/gtest.h>

#include "fileinfo/date_time_text.h"

namespace {

constexpr uint32_t kSpanishSpain = 0x0C0A;
constexpr uint32_t kJapanese = 0x0411;
constexpr uint32_t kChineseTaiwan = 0x0404;
constexpr uint32_t kKorean = 0x0412;

TEST(ShortDatePattern, RewritesEraPicturesRemovesCjkErasAndMarksTheSeparator) {
  struct Case {
    const char16_t* picture;
    int calendarType;
    uint32_t locale;
    char16_t separator;
    const char16_t* pattern;
  } cases[] = {
      {u"dd/MM/yyyy", 1, kSpanishSpain, u'/', u"dd/MM/yyyy"},
      {u"dd.MM.yyyy", 1, kSpanishSpain, u'.', u"dd/MM/yyyy"},
      // The date separator is replaced wherever it stands, quoted or not.
      {u"dd-MM-yyyy '-'", 1, kSpanishSpain, u'-', u"dd/MM/yyyy '/'"},
      // A two-character separator didn't fit: the picture's own stays.
      {u"yyyy. MM. dd.", 1, 0x040E, u'/', u"yyyy. MM. dd."},
      // Chinese, Japanese and Korean lose every g of a Gregorian picture.
      {u"gg yyyy/M/d", 1, kJapanese, u'/', u" yyyy/M/d"},
      {u"Ggyyyy/M/d", 1, kChineseTaiwan, u'/', u"yyyy/M/d"},
      {u"gg yyyy-M-d", 2, kKorean, u'-', u" yyyy/M/d"},
      // Others keep them; a neutral identifier counts as English.
      {u"gg yyyy/M/d", 1, kSpanishSpain, u'/', u"gg yyyy/M/d"},
      {u"gg yyyy/M/d", 1, 0x00110000, u'/', u"gg yyyy/M/d"},
      // Era calendars: "gg" becomes "ggg" and every y an e; quotes stay.
      {u"gg yyyy/MM/dd", 3, kJapanese, u'/', u"ggg eeee/MM/dd"},
      {u"gg yy/M/d", 4, kChineseTaiwan, u'/', u"ggg ee/M/d"},
      {u"GG Y/M/d 'yy'", 5, kKorean, u'/', u"ggg e/M/d 'yy'"},
      {u"g yyy", 3, kJapanese, u'/', u"g eee"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "calendar " << c.calendarType);
    EXPECT_EQ(ShortDatePattern(c.picture, c.calendarType, c.locale, c.separator), c.pattern);
  }
}

TEST(LongTimePattern, HourFormAndMarkerPosition) {
  struct Case {
    int leadingZero;
    int timeFormat;
    int markerPosition;
    const char16_t* pattern;
  } cases[] = {
      {0, 0, 0, u"h:mm:ss AMPM"},  {1, 0, 0, u"hh:mm:ss AMPM"}, {0, 0, 1, u"AMPM h:mm:ss"},
      {1, 0, 2, u"AMPM hh:mm:ss"}, {0, 1, 0, u"h:mm:ss"},       {1, 1, 1, u"hh:mm:ss"},
      {5, 2, 0, u"hh:mm:ss"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.leadingZero << c.timeFormat << c.markerPosition);
    EXPECT_EQ(LongTimePattern(c.leadingZero, c.timeFormat, c.markerPosition), c.pattern);
  }
}

// Whatever the user's locale, the settings it gives render the midnight rule
// and keep every name filled.
TEST(LoadLocaleFormatSettings, GivesUsableSettingsForTheUserLocale) {
  const TLocaleFormatSettings saved = LocaleFormatSettings;
  LoadLocaleFormatSettings();
  const TLocaleFormatSettings& s = LocaleFormatSettings;
  EXPECT_FALSE(s.ShortDateFormat.empty());
  EXPECT_NE(s.LongTimeFormat.find(u":mm:ss"), Text::npos) << "pattern " << s.LongTimeFormat.size();
  for (const Text& name : s.LongMonthNames) EXPECT_FALSE(name.empty());
  for (const Text& name : s.ShortDayNames) EXPECT_FALSE(name.empty());
  const Text midnight = DateTimeText(46363);
  EXPECT_FALSE(midnight.empty());
  EXPECT_NE(midnight.back(), u' ');
  EXPECT_EQ(DateTimeText(46363.5).substr(0, midnight.size() + 1), midnight + u" ");
  LocaleFormatSettings = saved;
}

}  // namespace
