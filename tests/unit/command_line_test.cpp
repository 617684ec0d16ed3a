#include "console/command_line.h"

#include <gtest/gtest.h>


namespace {

std::string Shown(const Text& text) {
  std::string shown;
  for (char16_t c : text) shown += c < 128 ? static_cast<char>(c) : '#';
  return shown;
}

TEST(ArgumentOfCommandLine, SplitsByBlanksAndQuotes) {
  struct Case {
    const char16_t* afterProgram;
    const char16_t* argument1;
    const char16_t* argument2;
  } cases[] = {
      {u" D:\\upd  X01", u"D:\\upd", u"X01"},
      {u" \"D:\\upd dir\\\" X01", u"D:\\upd dir\\", u"X01"},  // no escape before the quote
      {u" a\"b c\"d", u"ab cd", u""},
      {u" \"\" X01", u"X01", u""},  // the empty pair is dropped
      {u" X01 \"\"", u"X01", u""},
      {u" \"\"\"abc\"", u"abc", u""},
      {u" \"a b c", u"a b c", u""},  // never closed
      {u" a\"\"b", u"ab", u""},
      {u" X01 \"", u"X01", u""},  // a lone quote at the end
      {u"\" X01", u"", u""},  // the quote continues argument 0 to the end
      {u"\ta\tb\n", u"a", u"b"},
      {u"", u"", u""},
  };
  for (const Case& c : cases) {
    Text line = Text(u"rud") + c.afterProgram;
    SCOPED_TRACE(Shown(line));
    EXPECT_EQ(ArgumentOfCommandLine(line, 1), c.argument1);
    EXPECT_EQ(ArgumentOfCommandLine(line, 2), c.argument2);
  }
}

TEST(ArgumentOfCommandLine, OnlySeparatorsAndQuotePairsHoldNoArguments) {
  const char16_t* lines[] = {u"", u"   ", u"\"\"", u" \"\" \t\"\"\"\" ", u"\x01\x1f "};
  for (const char16_t* line : lines) {
    SCOPED_TRACE(Shown(line));
    for (int n = 0; n <= 3; ++n) EXPECT_EQ(ArgumentOfCommandLine(line, n), u"") << n;
  }
}

TEST(ArgumentOfCommandLine, ArgumentZeroIsTheProgramAsTyped) {
  EXPECT_EQ(ArgumentOfCommandLine(u"\"C:\\Program Files\\rud.exe\" X", 0), u"C:\\Program Files\\rud.exe");
  EXPECT_EQ(ArgumentOfCommandLine(u"\"C:\\Program Files\\rud.exe\" X", 1), u"X");
}

TEST(ArgumentOfCommandLine, NegativeNumbersAndMissingArgumentsAreEmpty) {
  EXPECT_EQ(ArgumentOfCommandLine(u"rud a b", -1), u"");
  EXPECT_EQ(ArgumentOfCommandLine(u"rud a b", -2147483647 - 1), u"");
  EXPECT_EQ(ArgumentOfCommandLine(u"rud a b", 3), u"");
  EXPECT_EQ(ArgumentOfCommandLine(u"rud a b", 1000), u"");
}

TEST(ArgumentOfCommandLine, EveryCodeAbove32IsAnArgumentCharacter) {
  // The no-break space, a backslash before a quote, both halves of a
  // surrogate pair and an unpaired one all stay as they are.
  Text line = u"rud a\u00A0b c\\\"d e\" \U0001F600\xD800x";
  EXPECT_EQ(ArgumentOfCommandLine(line, 1), u"a\u00A0b");
  EXPECT_EQ(ArgumentOfCommandLine(line, 2), u"c\\d e");
  EXPECT_EQ(ArgumentOfCommandLine(line, 3), u"\U0001F600\xD800x");
}

TEST(ArgumentOfCommandLine, ACharacterZeroEndsTheLine) {
  Text line(u"rud a\0b c", 9);
  EXPECT_EQ(ArgumentOfCommandLine(line, 1), u"a");
  EXPECT_EQ(ArgumentOfCommandLine(line, 2), u"");
}

TEST(GetArgument, ZeroIsTheExecutablePath) {
  Text path = GetArgument(0);
  ASSERT_FALSE(path.empty());
  Text name = path.substr(path.rfind(u'\\') + 1);
  EXPECT_TRUE(name == u"rud_unit_tests" || name == u"rud_unit_tests.exe") << Shown(path);
}

TEST(GetArgument, NegativeIsEmpty) { EXPECT_EQ(GetArgument(-1), u""); }

}  // namespace
