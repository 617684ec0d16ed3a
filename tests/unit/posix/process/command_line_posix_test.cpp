#include "platform/posix/process/command_line.h"

#include <gtest/gtest.h>

#include "console/command_line.h"
#include "platform/posix/text/utf.h"
#include "platform/win32.h"

namespace {

TEST(CommandLineOf, TheSplittingGivesTheArgumentsBack) {
  std::vector<std::vector<std::string>> cases = {
      {"rud", "D:\\upd", "X01"},
      {"/opt/rud dir/rud", "D:\\upd dir\\", "X01"},  // the backslash before the quote stays
      {"rud", " lead and trail ", "\tX01\n"},
      {"rud", "\\\\srv\\upd", "código"},
      {"rud", "x\x01y", "\x7f"},
      {"rud", "\xF0\x9F\x98\x80", "a"},  // outside the 16-bit range: a surrogate pair
  };
  for (const std::vector<std::string>& arguments : cases) {
    std::u16string line = posix::CommandLineOf(arguments);
    SCOPED_TRACE(posix::Utf8FromUtf16(line));
    for (size_t n = 0; n < arguments.size(); ++n) {
      EXPECT_EQ(ArgumentOfCommandLine(line, static_cast<int>(n)), posix::Utf16FromUtf8(arguments[n])) << n;
    }
    EXPECT_EQ(ArgumentOfCommandLine(line, static_cast<int>(arguments.size())), u"");
  }
}

TEST(CommandLineOf, QuotesAreLeftOutWithoutDisturbingLaterArguments) {
  std::u16string line = posix::CommandLineOf({"rud", "a\"b c", "\"", "X01"});
  EXPECT_EQ(line, u"rud \"ab c\" \"\" X01");
  EXPECT_EQ(ArgumentOfCommandLine(line, 1), u"ab c");
  // An argument that is empty (or only quotes) is dropped by the splitting,
  // as the same line typed on Windows would be.
  EXPECT_EQ(ArgumentOfCommandLine(line, 2), u"X01");
}

TEST(GetCommandLineW, StartsWithThisProgram) {
  std::u16string program = ArgumentOfCommandLine(GetCommandLineW(), 0);
  ASSERT_FALSE(program.empty());
  EXPECT_NE(posix::Utf8FromUtf16(program).find("rud_unit_tests"), std::string::npos);
}

}  // namespace
