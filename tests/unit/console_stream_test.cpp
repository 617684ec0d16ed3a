#include "console/console_stream.h"

#include <gtest/gtest.h>

#include "console/exceptions.h"
#include "console/shown_text.h"
#include "platform/win32.h"
#include "support/temp_folder.h"
#include "support/test_pipe.h"

namespace {

class ConsoleStreamTest : public testing::Test {
 protected:
  void SetUp() override { StartConsoleStreams(); }
  void TearDown() override { PendingIOError = 0; }
};

Text Repeated(char16_t c, size_t count) { return Text(count, c); }

TEST_F(ConsoleStreamTest, OutputToAPipeIsHandedOverIn128BytePieces) {
  TestPipe pipe;
  ConsoleStream stream = ConsoleStream::OverHandle(pipe.WriteEnd());
  stream.Write(Repeated(u'a', 100));
  EXPECT_EQ(pipe.Available(), 0u);
  stream.Write(Repeated(u'b', 28));
  EXPECT_EQ(pipe.Available(), 128u);
  stream.Write(u"xyz");
  stream.EndLine();  // no write-out at a line end: a pipe is not a console
  EXPECT_EQ(pipe.Available(), 128u);
  EXPECT_EQ(stream.Fill, 5u);
  EXPECT_TRUE(stream.WriteOut());
  EXPECT_EQ(pipe.ReadAvailable(), std::string(100, 'a') + std::string(28, 'b') + "xyz\r\n");
  EXPECT_EQ(PendingIOError, 0);
}

TEST_F(ConsoleStreamTest, ATextLongerThanTheBufferFillsItAgainAndAgain) {
  TestPipe pipe;
  ConsoleStream stream = ConsoleStream::OverHandle(pipe.WriteEnd());
  stream.Write(Repeated(u'z', 300));
  EXPECT_EQ(pipe.Available(), 256u);
  EXPECT_EQ(stream.Fill, 44u);
}

TEST_F(ConsoleStreamTest, AFailedWriteLosesTheBufferAndTheRestOfTheTextAndIsPending) {
  TestPipe pipe;
  pipe.CloseReadEnd();
  ConsoleStream stream = ConsoleStream::OverHandle(pipe.WriteEnd());
  stream.Write(Repeated(u'a', 200));
  EXPECT_EQ(PendingIOError, ERROR_NO_DATA);
  EXPECT_EQ(stream.Fill, 0u);  // the 72 bytes after the failed piece are gone too
  // The stream stays open and goes on as before.
  EXPECT_EQ(stream.Mode, StreamMode::Output);
  stream.Write(u"later");
  EXPECT_EQ(stream.Fill, 5u);

  try {
    CheckIOError();
    ADD_FAILURE() << "no failure raised";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.ErrorCode, ERROR_NO_DATA);
    EXPECT_EQ(error.Message, u"I/O error 232");
    EXPECT_EQ(error.ClassName(), u"EInOutError");
  }
  EXPECT_EQ(PendingIOError, 0);
  EXPECT_NO_THROW(CheckIOError());
}

TEST_F(ConsoleStreamTest, AnUnusableHandleFailsEveryOpenWith105) {
  ConsoleStream stream = ConsoleStream::OverHandle(INVALID_HANDLE_VALUE);
  stream.Write(u"banner");
  EXPECT_EQ(PendingIOError, 105);
  EXPECT_EQ(stream.Mode, StreamMode::Closed);
  PendingIOError = 0;
  stream.EndLine();  // tries the open again
  EXPECT_EQ(PendingIOError, 105);
  EXPECT_EQ(stream.Fill, 0u);
}

TEST_F(ConsoleStreamTest, ALaterFailureOverwritesAnEarlierOne) {
  ConsoleStream unusable = ConsoleStream::OverHandle(INVALID_HANDLE_VALUE);
  TestPipe pipe;
  pipe.CloseReadEnd();
  ConsoleStream broken = ConsoleStream::OverHandle(pipe.WriteEnd());
  unusable.Write(u"x");
  broken.Write(Repeated(u'y', 128));
  try {
    CheckIOError();
    ADD_FAILURE() << "no failure raised";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.ErrorCode, ERROR_NO_DATA);
  }
}

TEST_F(ConsoleStreamTest, TheCodePageIsSettledAtTheFirstOpen) {
  TestPipe pipe;
  ConsoleStream stream = ConsoleStream::OverHandle(pipe.WriteEnd());
  EXPECT_EQ(stream.CodePage, 0);
  stream.Write(u"x");
  // A pipe is not a console: the system ANSI code page.
  EXPECT_EQ(stream.CodePage, static_cast<uint16_t>(GetACP()));
  EXPECT_TRUE(stream.LineEndStyle);
  EXPECT_FALSE(stream.FlushPerLine);
}

// The input may be the caller's too (a script its shell reads, a loop's
// list): one line is taken and every byte after it is left for the caller.
TEST_F(ConsoleStreamTest, SkipLineTakesOneLineAndLeavesTheRestToTheCaller) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string rest;
  } cases[] = {
      {"a line longer than the buffer", std::string(200, 'a') + "\nrest", "rest"},
      {"a short line and more", "one\r\ntwo\nthree\n", "two\nthree\n"},
      {"the line is all there is", "one\n", ""},
      {"character 26 ends the input, and is taken", "ab\x1a" "cd\nef\n", "cd\nef\n"},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      SCOPED_TRACE("a pipe");
      TestPipe pipe;
      pipe.Write(c.bytes);
      ConsoleStream stream = ConsoleStream::OverHandle(pipe.ReadEnd());
      stream.SkipLine();
      EXPECT_EQ(PendingIOError, 0);
      EXPECT_EQ(pipe.ReadAvailable(), c.rest);
    }
    {
      SCOPED_TRACE("a file");
      const std::u16string path = folder.WriteFile("input.txt", c.bytes).u16string();
      HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      ConsoleStream stream = ConsoleStream::OverHandle(file);
      stream.SkipLine();
      EXPECT_EQ(PendingIOError, 0);
      char rest[512] = {};
      DWORD read = 0;
      EXPECT_TRUE(ReadFile(file, rest, sizeof rest, &read, nullptr));
      EXPECT_EQ(std::string(rest, read), c.rest);
      CloseHandle(file);
    }
  }
}

TEST_F(ConsoleStreamTest, SkipLineEndsAtTheEndOfInput) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"nothing", ""},
      {"a carriage return is an ordinary character", "abc\r"},
      {"character 26 ends the input", "ab\x1a" "cd\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPipe pipe;
    pipe.Write(c.bytes);
    pipe.CloseWriteEnd();  // reading on gives the end (a broken pipe on Windows)
    ConsoleStream stream = ConsoleStream::OverHandle(pipe.ReadEnd());
    stream.SkipLine();
    stream.SkipLine();
    EXPECT_EQ(PendingIOError, 0);
  }
}

TEST_F(ConsoleStreamTest, AFailedReadIsPendingForTheCheck) {
  ConsoleStream stream = ConsoleStream::OverHandle(INVALID_HANDLE_VALUE);
  stream.SkipLine();
  EXPECT_EQ(PendingIOError, ERROR_INVALID_HANDLE);
  EXPECT_THROW(CheckIOError(), EInOutError);
}

TEST_F(ConsoleStreamTest, WriteLineWritesEveryTextAndChecksOnceAtTheEnd) {
  TestPipe pipe;
  {
    ScopedStandardOutput redirected(pipe.WriteEnd());
    StartConsoleStreams();
    WriteLine({u"Programa Seleccionado: ", u"", u"X01"});
    CloseConsoleStreams();
  }
  EXPECT_EQ(pipe.ReadAvailable(), "Programa Seleccionado: X01\r\n");

  pipe.CloseReadEnd();
  bool raised = false;
  uint32_t fillAfterwards = 0;
  {
    ScopedStandardOutput redirected(pipe.WriteEnd());
    StartConsoleStreams();
    try {
      // The first text's piece fails; the second text still goes in.
      WriteLine({Repeated(u'a', 130), u"tail"});
    } catch (const EInOutError& error) {
      raised = error.ErrorCode == ERROR_NO_DATA;
    }
    fillAfterwards = StandardOutput().Fill;
    StartConsoleStreams();
  }
  EXPECT_TRUE(raised);
  EXPECT_EQ(fillAfterwards, 6u);  // "tail" and the line end
}

// A version string from the share, as the console shows it: in the OEM code
// pages of a Spanish console some symbols are control bytes (a line feed, a
// carriage return, an escape); everywhere the bidirectional controls and the
// separators would reorder or split the line. Accented letters stay.
TEST(ShownText, WhatCouldMoveReorderOrSplitALineIsAQuestionMark) {
  struct Case {
    uint32_t codePage;
    const char16_t* text;
    const char16_t* shown;
  } cases[] = {
#ifdef _WIN32
      // Windows' own tables: U+25D9 is 0x0A, U+266A 0x0D, U+2190 0x1B,
      // U+25D8 0x08 and U+2022 0x07 in 850 and 437.
      {850, u"2.0 01/02/2026\u25D9Se realiz\u00F3\u2190[8m\u266A\u25D8\u2022\u00D1",
       u"2.0 01/02/2026?Se realiz\u00F3?[8m???\u00D1"},
      {437, u"\u00E9\u00F1\u25D9\u266A\u2190\u25D8\u2022\u202E", u"\u00E9\u00F1??????"},
      // Where the code page holds no control byte for a symbol it stays, to
      // come out as the code page has it (U+2022 is 0x95, U+25D9 a "?").
      {1252, u"\u00E9\u00F3\u2022\u25D9\u202E\u2066\u2028", u"\u00E9\u00F3\u2022\u25D9???"},
#endif
      {65001,
       u"1.0\u25D9\u266A\u00E9\u202A\u202E\u2066\u2069\u2028\u2029\u00AD\u200B\uFEFF\u0085"
       u"\U000E0041\U0001F600\x1B",
       u"1.0\u25D9\u266A\u00E9???????????\U0001F600?"},
      {28591, u"\u00E9\u0085\u00A0\u2022\u202E\u00AD", u"\u00E9?\u00A0\u2022??"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    EXPECT_EQ(ShownText(c.codePage, c.text), c.shown);
  }
  // A run of blanks that would wrap an 80-column line into one of ours.
  EXPECT_EQ(WithoutBlankRuns(u"2.0\u3000\u2003 \u00A0\u3164\u2800  x          Se realiz\u00F3 \t \u00A0y"),
            u"2.0\u3000x Se realiz\u00F3 \t y");
}

TEST(IOErrorMessage, ByCode) {
  struct Case {
    int32_t code;
    const char16_t* message;
  } cases[] = {
      {2, u"The specified file was not found"},
      {3, u"Invalid file name"},
      {4, u"Too many open files"},
      {5, u"File access denied"},
      {100, u"Read beyond end of file"},
      {101, u"Disk full"},
      {105, u"I/O error 105"},
      {106, u"Invalid numeric input"},
      {112, u"I/O error 112"},
      {-1, u"I/O error -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(IOErrorMessage(c.code), c.message);
  }
}

}  // namespace
