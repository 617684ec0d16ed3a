// FormatMessageW on POSIX: Windows' English texts for every code the layer
// can report, and no text for any other.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32.h"

namespace {

std::u16string SystemText(DWORD code, DWORD& length) {
  WCHAR* buffer = nullptr;
  length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                              FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                          nullptr, code, 0, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr);
  std::u16string text = buffer != nullptr ? std::u16string(U(buffer)) : u"";
  LocalFree(buffer);
  return text;
}

TEST(PosixSystemMessages, WindowsTextsWithTheirEnding) {
  struct Case {
    DWORD code;
    const char16_t* text;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified. \r\n"},
      {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified. \r\n"},
      {ERROR_ACCESS_DENIED, u"Access is denied. \r\n"},
      {ERROR_BAD_EXE_FORMAT, u"%1 is not a valid Win32 application. \r\n"},
      {ERROR_RESOURCE_DATA_NOT_FOUND,
       u"The specified image file did not contain a resource section. \r\n"},
      {ERROR_RESOURCE_TYPE_NOT_FOUND,
       u"The specified resource type cannot be found in the image file. \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    DWORD length = 0;
    EXPECT_EQ(SystemText(c.code, length), c.text);
    EXPECT_EQ(length, std::u16string(c.text).size());
  }
}

// Every ERROR_ code the layer declares has its text: the declarations are
// read from the header itself, so a code added there without a text fails.
TEST(PosixSystemMessages, EveryDeclaredCodeHasAText) {
  const std::filesystem::path header =
      std::filesystem::path(RUD_SOURCE_DIR) / "src/platform/posix/win32_api.h";
  std::ifstream in(header);
  ASSERT_TRUE(in) << header;
  std::string line;
  int declared = 0;
  while (std::getline(in, line)) {
    // "#define ERROR_NAME 123"
    const std::string prefix = "#define ERROR_";
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t blank = line.find(' ', prefix.size());
    if (blank == std::string::npos ||
        line.find_first_not_of("0123456789", blank + 1) != std::string::npos) {
      continue;
    }
    ++declared;
    SCOPED_TRACE(line);
    DWORD length = 0;
    const std::u16string text =
        SystemText(static_cast<DWORD>(std::stoul(line.substr(blank + 1))), length);
    EXPECT_GT(length, 3u);
    EXPECT_EQ(text.substr(text.size() >= 4 ? text.size() - 4 : 0), u". \r\n");
  }
  EXPECT_GT(declared, 40);
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
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 64, nullptr), 20u);
  EXPECT_EQ(std::u16string(U(buffer)), u"Access is denied. \r\n");
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 20, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0x0C0A, buffer, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
  // An insert can't be filled in here.
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_BAD_EXE_FORMAT, 0, buffer,
                           64, nullptr),
            0u);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
