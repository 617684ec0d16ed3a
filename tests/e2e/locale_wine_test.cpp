// The Windows build's locale settings and date text under Wine, for the
// era-free locales of Spain, Mexico and the United States. Wine takes the
// user locale from LANG only when that locale is generated on the host, and
// rewrites its registry when LANG changes, so these run one after another.
#include <gtest/gtest.h>

#include <clocale>
#include <map>

#include "wine_tool.h"

namespace {

std::map<std::string, std::string> Settings(const std::string& output) {
  std::map<std::string, std::string> settings;
  for (const std::string& line : wine_tool::Lines(output)) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) settings[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return settings;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(LocaleUnderWine, DateTextInEraFreeLocales) {
  std::string reason;
  const auto dump = wine_tool::Find("locale_dump", reason);
  if (!dump) GTEST_SKIP() << reason;
  struct Case {
    const char* lang;
    const char* december;
    const char* afternoon;      // how the time of 14:05:09 ends
    const char* afterMidnight;  // how the time of 00:00:00.001 ends
  } cases[] = {
      {"es_ES.UTF-8", "diciembre", " 14:05:09", "0:00:00"},
      {"es_MX.UTF-8", "diciembre", " 14:05:09", "0:00:00"},
      {"en_US.UTF-8", "December", " 2:05:09 PM", " 12:00:00 AM"},
  };
  int tested = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lang);
    locale_t probe = newlocale(LC_ALL_MASK, c.lang, nullptr);
    if (probe == nullptr) continue;
    freelocale(probe);
    ++tested;
    const std::string output = wine_tool::Run(*dump, c.lang, "");
    std::map<std::string, std::string> s = Settings(output);
    EXPECT_EQ(s["LongMonthNames12"], c.december) << output;
    const std::string midnight = s["Midnight"];
    ASSERT_FALSE(midnight.empty());
    EXPECT_EQ(midnight.find(' '), std::string::npos) << midnight;
    EXPECT_EQ(s["Afternoon"].rfind(midnight + " ", 0), 0u) << s["Afternoon"];
    EXPECT_EQ(s["AfterMidnight"].rfind(midnight + " ", 0), 0u) << s["AfterMidnight"];
    EXPECT_TRUE(EndsWith(s["Afternoon"], c.afternoon)) << s["Afternoon"];
    EXPECT_TRUE(EndsWith(s["AfterMidnight"], c.afterMidnight)) << s["AfterMidnight"];
    EXPECT_NE(midnight.find("2026"), std::string::npos) << midnight;
  }
  if (tested == 0) GTEST_SKIP() << "none of es_ES.UTF-8, es_MX.UTF-8, en_US.UTF-8 is generated";
}

}  // namespace
