#include "fileinfo/os_error.h"

#include <gtest/gtest.h>

#include "console/exceptions.h"
#include "platform/win32.h"

namespace {

// The system's own text for a code, as FormatMessageW gives it.
Text RawSystemText(DWORD code) {
  WCHAR* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                nullptr, code, 0, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr);
  Text text = length > 0 ? Text(U(buffer), length) : Text();
  LocalFree(buffer);
  return text;
}

bool IsCut(char16_t c) { return c <= u' ' || c == u'.'; }

TEST(OSErrorMessage, CodeZero) { EXPECT_EQ(OSErrorMessage(0), u"A call to an OS function failed"); }

// The message is the heading line and the system text with its trailing full
// stops, blanks and line breaks cut; texts differ between systems, so the
// expectation is built from the system's own text.
TEST(OSErrorMessage, HeadingAndTheSystemTextWithoutItsEnd) {
  for (DWORD code : {2u, 3u, 5u, 193u, 1812u, 1813u}) {
    SCOPED_TRACE(code);
    const Text raw = RawSystemText(code);
    ASSERT_FALSE(raw.empty());
    ASSERT_TRUE(IsCut(raw.back())) << "a system text ends with a full stop or a line break";
    const Text heading = u"System Error.  Code: " + DecimalText(code) + u".\r\n";
    const Text message = OSErrorMessage(code);
    ASSERT_EQ(message.substr(0, heading.size()), heading);
    const Text text = message.substr(heading.size());
    ASSERT_FALSE(text.empty());
    EXPECT_FALSE(IsCut(text.back()));
    EXPECT_EQ(raw.substr(0, text.size()), text);
    for (char16_t c : raw.substr(text.size())) EXPECT_TRUE(IsCut(c));
  }
}

TEST(OSErrorMessage, ACodeWithoutSystemTextEndsAfterTheLineBreak) {
  ASSERT_TRUE(RawSystemText(0x20001234).empty());
  EXPECT_EQ(OSErrorMessage(0x20001234), u"System Error.  Code: 536875572.\r\n");
}

TEST(OSErrorMessage, CodesAreSigned) {
  const Text message = OSErrorMessage(0xE0001234u);
  EXPECT_EQ(message.substr(0, 34), u"System Error.  Code: -536866252.\r\n");
}

TEST(RaiseLastOSError, RaisesTheLastErrorCode) {
  SetLastError(ERROR_ACCESS_DENIED);
  try {
    RaiseLastOSError();
    FAIL() << "nothing raised";
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error.Message, OSErrorMessage(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error.ClassName(), u"EOSError");
  }
}

}  // namespace
