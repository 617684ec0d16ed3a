#include "platform/posix/text/strftime_picture.h"

#include <gtest/gtest.h>

namespace posix {
namespace {

const LocaleFormats kFormats{"%d/%m/%y", "%T", "%I:%M:%S %p"};

TEST(StrftimePicture, PictureOfAFormat) {
  struct Case {
    const char* format;
    const char* picture;
  } cases[] = {
      {"%d/%m/%Y", "dd/MM/yyyy"},
      {"%D", "MM/dd/yy"},
      {"%F", "yyyy-MM-dd"},
      {"%x", "dd/MM/yy"},
      {"%e.%-m.%y", "d.M.yy"},
      {"%-d/%_m/%Ey", "d/M/yy"},
      {"%a %d %b %Y", "ddd dd MMM yyyy"},
      {"%A, %d de %B de %Y", "dddd, dd 'de' MMMM 'de' yyyy"},
      {"%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5", "yyyy\xe5\xb9\xb4MM\xe6\x9c\x88" "dd\xe6\x97\xa5"},
      {"%T", "HH:mm:ss"},
      {"%R", "HH:mm"},
      {"%r", "hh:mm:ss tt"},
      {"%X", "HH:mm:ss"},
      {"%l:%M %P", "h:mm tt"},
      {"%k.%M", "H.mm"},
      {"%H h %M min", "HH 'h' mm 'min'"},
      {"it's %d", "'it''s' dd"},
      {"%d'", "dd''''"},
      {"%d %Z %j %%", "dd   %"},
      {"%Z", ""},
      {"", ""},
      {"%", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(PictureOf(ExpandFormat(c.format, kFormats)), c.picture);
  }
}

TEST(StrftimePicture, FormatsReferringToThemselvesEnd) {
  const LocaleFormats looping{"%x", "%X", "%r"};
  EXPECT_EQ(PictureOf(ExpandFormat("%x %X %r", looping)), "");
}

TEST(StrftimePicture, DateSeparator) {
  struct Case {
    const char* format;
    bool found;
    const char* separator;
  } cases[] = {
      {"%d/%m/%y", true, "/"},  {"%Y-%m-%d", true, "-"},   {"%D", true, "/"},
      {"%Y. %m. %d.", true, ". "}, {"%d%m%Y", false, ""}, {"%Y", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    std::optional<std::string> separator = DateSeparatorOf(ExpandFormat(c.format, kFormats));
    EXPECT_EQ(separator.has_value(), c.found);
    if (separator) {
      EXPECT_EQ(*separator, c.separator);
    }
  }
}

TEST(StrftimePicture, ClockFacts) {
  struct Case {
    const char* format;
    bool twelveHour;
    bool leadingZero;
    bool markerFirst;
    const char* separator;  // null: none
  } cases[] = {
      {"%T", false, true, false, ":"},
      {"%r", true, true, false, ":"},
      {"%p %l:%M", true, false, true, ":"},
      {"%k.%M", false, false, false, "."},
      {"%-H:%M", false, false, false, ":"},
      {"%0k:%M", false, true, false, ":"},
      {"%_I:%M %p", true, false, false, ":"},
      {"%H%M", false, true, false, nullptr},
      {"%H h %M", false, true, false, " h "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    std::optional<ClockFacts> facts = ClockFactsOf(ExpandFormat(c.format, kFormats));
    ASSERT_TRUE(facts.has_value());
    EXPECT_EQ(facts->twelveHour, c.twelveHour);
    EXPECT_EQ(facts->leadingZero, c.leadingZero);
    EXPECT_EQ(facts->markerFirst, c.markerFirst);
    EXPECT_EQ(facts->separated, c.separator != nullptr);
    if (c.separator != nullptr) {
      EXPECT_EQ(facts->separator, c.separator);
    }
  }
  EXPECT_FALSE(ClockFactsOf(ExpandFormat("%M:%S", kFormats)).has_value());
}

}  // namespace
}  // namespace posix
