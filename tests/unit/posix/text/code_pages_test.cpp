#include "platform/posix/text/code_pages.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

std::string Converted(UINT codePage, std::u16string_view text) {
  int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  int written = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                    size, nullptr, nullptr);
  EXPECT_EQ(written, size);
  return bytes;
}

TEST(CodePageOfCodeset, KnownCodesetsAndOthers) {
  struct Case {
    const char* codeset;
    UINT codePage;
  } cases[] = {
      {"UTF-8", 65001},         {"utf8", 65001},        {"ISO-8859-1", 28591},
      {"ISO-8859-15", 28605},   {"ANSI_X3.4-1968", 20127}, {"CP1252", 1252},
      {"KOI8-R", 20866},        {"GB2312", 936},        {"EUC-JP", 20932},
      {"ARMSCII-8", 0},         {"", 0},
      // The C library's charmaps name the DOS code pages so (es_ES.ibm850).
      {"IBM850", 850},          {"ibm437", 437},        {"IBM858", 858},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codeset);
    EXPECT_EQ(posix::CodePageOfCodeset(c.codeset), c.codePage);
  }
}

TEST(WideCharToMultiByte, EncodesIntoTheCodePage) {
  struct Case {
    UINT codePage;
    const char16_t* text;
    const char* bytes;
  } cases[] = {
      {1252, u"Ó", "\xD3"},
      {850, u"Ó", "\xE0"},
      {437, u"É", "\x90"},
      {28591, u"Ó", "\xD3"},
      {28605, u"€", "\xA4"},
      {65001, u"Ó", "\xC3\x93"},
      {65001, u"\U0001F600", "\xF0\x9F\x98\x80"},
      {20127, u"ACTUALIZACIÓN", "ACTUALIZACION"},  // the best fit
      {437, u"Ó", "O"},
      {1252, u"中", "?"},  // no best fit: the default character
      {1252, u"a\xD800" u"b", "a?b"},  // an unpaired surrogate
      {65001, u"a\xD800" u"b", "a\xEF\xBF\xBD" "b"},
      {1252, u"\r\n", "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " " << c.bytes);
    EXPECT_EQ(Converted(c.codePage, c.text), c.bytes);
  }
}

TEST(WideCharToMultiByte, SizesAndFailures) {
  const char16_t* text = u"abc";
  char buffer[8] = {};
  EXPECT_EQ(WideCharToMultiByte(1252, 0, text, -1, nullptr, 0, nullptr, nullptr), 4);  // with the null
  EXPECT_EQ(WideCharToMultiByte(1252, 0, text, -1, buffer, 8, nullptr, nullptr), 4);
  EXPECT_STREQ(buffer, "abc");

  EXPECT_EQ(WideCharToMultiByte(1252, 0, text, 3, buffer, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(WideCharToMultiByte(12345, 0, text, 3, buffer, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(1252, 0x400, text, 3, buffer, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  EXPECT_EQ(WideCharToMultiByte(1252, 0, text, 0, buffer, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The user's code page is read once per process: each case runs in a fresh
// one with its own environment.
class UserCodePageDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(UserCodePageDeathTest, ComesFromTheLocaleTheEnvironmentNames) {
  struct Case {
    const char* lcAll;
    const char* lang;
    UINT codePage;
  } cases[] = {
      {"", "C.UTF-8", 65001},
      {"C", "C.UTF-8", 20127},  // LC_ALL comes first
      {"", "C", 20127},
      {"", "xx_NOWHERE.UTF-8", 20127},  // not installed: the C locale
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lcAll << "|" << c.lang);
    EXPECT_EXIT(
        {
          unsetenv("LC_CTYPE");
          if (*c.lcAll != '\0') {
            setenv("LC_ALL", c.lcAll, 1);
          } else {
            unsetenv("LC_ALL");
          }
          setenv("LANG", c.lang, 1);
          bool same = GetACP() == c.codePage && GetOEMCP() == c.codePage &&
                      GetConsoleOutputCP() == c.codePage && GetConsoleCP() == c.codePage;
          _exit(same ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
  }
}

}  // namespace
