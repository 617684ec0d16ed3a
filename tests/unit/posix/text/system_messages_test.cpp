// FormatMessageW on POSIX: English and Spanish texts for every code the
// layer knows, in the user's language, and no text for any other.
#include <locale.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/posix/win_error.h"
#include "platform/win32.h"
#include "unit/posix/scoped_environment.h"

namespace {

std::u16string SystemText(DWORD code, DWORD& length, DWORD language = 0) {
  WCHAR* buffer = nullptr;
  length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                              FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                          nullptr, code, language, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr);
  std::u16string text = buffer != nullptr ? std::u16string(U(buffer)) : u"";
  LocalFree(buffer);
  return text;
}

bool LocaleInstalled(const char* name) {
  locale_t probe = newlocale(LC_MESSAGES_MASK, name, nullptr);
  if (probe == nullptr) return false;
  freelocale(probe);
  return true;
}

// The language comes from LC_ALL, then LC_MESSAGES, then LANG; a language
// without texts here, or a locale that is not installed, reads English.
TEST(PosixSystemMessages, TextsInTheUsersLanguageWithTheirEnding) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    DWORD code;
    const char16_t* text;
    bool spanish = false;  // read only where es_ES.UTF-8 is generated
  } cases[] = {
      {"", "", "C.UTF-8", ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified. \r\n"},
      {"", "", "C.UTF-8", ERROR_ACCESS_DENIED, u"Access is denied. \r\n"},
      {"", "", "C.UTF-8", ERROR_BAD_EXE_FORMAT, u"The file is not a valid Win32 application. \r\n"},
      {"", "", "C.UTF-8", ERROR_RESOURCE_DATA_NOT_FOUND,
       u"The specified image file did not contain a resource section. \r\n"},
      {"", "", "es_ES.UTF-8", ERROR_BAD_EXE_FORMAT, u"Formato EXE erróneo. \r\n", true},
      {"", "", "es_ES.UTF-8", ERROR_RESOURCE_DATA_NOT_FOUND,
       u"Datos del recurso no encontrados. \r\n", true},
      {"", "es_ES.UTF-8", "C.UTF-8", ERROR_RESOURCE_TYPE_NOT_FOUND,
       u"Tipo del recurso no encontrado. \r\n", true},
      {"C.UTF-8", "es_ES.UTF-8", "es_ES.UTF-8", ERROR_ACCESS_DENIED, u"Access is denied. \r\n"},
      {"", "", "de_DE.UTF-8", ERROR_ACCESS_DENIED, u"Access is denied. \r\n"},
      {"", "", "xx_YY.UTF-8", ERROR_ACCESS_DENIED, u"Access is denied. \r\n"},
  };
  const bool spanishInstalled = LocaleInstalled("es_ES.UTF-8");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lcAll) + "/" + c.lcMessages + "/" + c.lang + " " +
                 std::to_string(c.code));
    if (c.spanish && !spanishInstalled) continue;
    ScopedEnvironment env;
    env.Set("LC_ALL", c.lcAll);
    env.Set("LC_MESSAGES", c.lcMessages);
    env.Set("LANG", c.lang);
    DWORD length = 0;
    EXPECT_EQ(SystemText(c.code, length), c.text);
    EXPECT_EQ(length, std::u16string(c.text).size());
  }
}

// Every code the layer knows, and every code its errno table gives, has a
// text in both languages: a whole sentence, with no insert left unfilled.
TEST(PosixSystemMessages, EveryCodeOfTheLayerHasATextInBothLanguages) {
  std::set<DWORD> codes(std::begin(posix::kErrorCodes), std::end(posix::kErrorCodes));
  for (int errnoValue = 0; errnoValue < 4096; ++errnoValue) {
    codes.insert(posix::Win32ErrorFromErrno(errnoValue));
  }
  for (DWORD code : codes) {
    for (DWORD language : {0x0409u, 0x0C0Au}) {
      SCOPED_TRACE(testing::Message() << "code " << code << ", language " << language);
      DWORD length = 0;
      const std::u16string text = SystemText(code, length, language);
      EXPECT_GT(length, 3u);
      EXPECT_EQ(text.substr(text.size() >= 4 ? text.size() - 4 : 0), u". \r\n");
      EXPECT_EQ(text.find(u'%'), std::u16string::npos);
    }
  }
}

TEST(PosixSystemMessages, NoTextForOtherCodes) {
  for (DWORD code : {7u, 999u, 0x20001234u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    SetLastError(0);
    DWORD length = 1;
    EXPECT_EQ(SystemText(code, length), u"");
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  }
}

TEST(PosixSystemMessages, CallersBufferAndLanguage) {
  WCHAR buffer[64];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0x0409, buffer, 64, nullptr), 20u);
  EXPECT_EQ(std::u16string(U(buffer)), u"Access is denied. \r\n");
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0x0409, buffer, 20, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0x0C0A, buffer, 64, nullptr), 19u);
  EXPECT_EQ(std::u16string(U(buffer)), u"Acceso denegado. \r\n");
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0x0407, buffer, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
