#include "console/process_end.h"

#include <gtest/gtest.h>

#include "console/console_stream.h"
#include "platform/fault_handler.h"
#include "platform/win32.h"
#include "support/test_pipe.h"
#include "support/text_matchers.h"

namespace {

std::string LineOf(int32_t number, uintptr_t address) {
  RuntimeErrorLineBytes line = RuntimeErrorLine(number, address);
  return std::string(line.bytes, line.length);
}

TEST(RuntimeErrorLine, FillsTheFixedTemplate) {
  struct Case {
    int32_t number;
    uintptr_t address;
    const char* line;
  } cases[] = {
      {216, 0x0040A1B2, "Runtime error 216 at 0040A1B2\r\n"},
      {2, 0, "Runtime error   2 at 00000000\r\n"},
      {17, 0xABCDEF, "Runtime error  17 at 00ABCDEF\r\n"},
      {203, 0xFFFFFFFF, "Runtime error 203 at FFFFFFFF\r\n"},
      // Wider than the template: the line grows rather than lose digits.
      {1113, 0x1000, "Runtime error 1113 at 00001000\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(LineOf(c.number, c.address), c.line);
  }
  EXPECT_EQ(LineOf(216, 0x0040A1B2).size(), 29u + 2u);
}

TEST(RuntimeErrorLine, AWideAddressKeepsEveryDigit) {
  if (sizeof(uintptr_t) < 8) GTEST_SKIP() << "addresses are 32 bits here";
  EXPECT_EQ(LineOf(216, static_cast<uintptr_t>(0x55D4C0DE1234ull)),
            "Runtime error 216 at 55D4C0DE1234\r\n");
}

TEST(RuntimeErrorNumber, ByKindOfFault) {
  struct Case {
    FatalFault fault;
    int32_t number;
  } cases[] = {
      {FatalFault::DivisionByZero, 200}, {FatalFault::ArrayBounds, 201},
      {FatalFault::StackOverflow, 202},  {FatalFault::FloatOverflow, 205},
      {FatalFault::FloatUnderflow, 206}, {FatalFault::InvalidFloatOperation, 207},
      {FatalFault::IntegerOverflow, 215}, {FatalFault::AccessViolation, 216},
      {FatalFault::Other, 217},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(RuntimeErrorNumber(c.fault), c.number);
  }
}

TEST(EscapedErrorReport, TwoLinesWithTheMessageEndingInOneDot) {
  struct Case {
    const char16_t* message;
    const char16_t* secondLine;
  } cases[] = {
      {u"I/O error 105", u"I/O error 105.\r\n"},
      {u"Error en el código de programa.", u"Error en el código de programa.\r\n"},
      {u"", u"\r\n"},
      {u"Línea uno\r\nLínea dos", u"Línea uno\r\nLínea dos.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(Text(c.message).size()));
    EXPECT_EQ(EscapedErrorReport(u"EInOutError", u"rud.exe", 0x2F9A1, c.message),
              Text(u"Exception EInOutError in module rud.exe at 0002F9A1.\r\n") + c.secondLine);
  }
}

TEST(EscapedErrorReport, IsCutAt1024Characters) {
  Text report = EscapedErrorReport(u"EOSError", u"rud.exe", 0x1234, Text(2000, u'x'));
  ASSERT_EQ(report.size(), 1024u);
  EXPECT_EQ(report.substr(0, 50), Text(u"Exception EOSError in module rud.exe at 00001234.\r"));
  EXPECT_EQ(report.back(), u'x');
}

void AFunctionOfThisProgram() {}

TEST(LocateCode, NamesTheModuleAndTheOffsetInIt) {
  const void* address = reinterpret_cast<const void*>(&AFunctionOfThisProgram);
  CodeLocation location = LocateCode(address);
  EXPECT_TRUE(location.ModuleName == u"rud_unit_tests" || location.ModuleName == u"rud_unit_tests.exe");
  EXPECT_LT(location.Offset, reinterpret_cast<uintptr_t>(address));
  EXPECT_LT(location.Offset, uintptr_t{1} << 30);
}

// Wherever the program was loaded (at random places on Linux, above 4 GB on
// x86_64 Windows), a fault in its code keeps the line at 29 characters.
TEST(ShownCodeAddress, CodeOfTheProgramFitsTheTemplate) {
  const void* address = reinterpret_cast<const void*>(&AFunctionOfThisProgram);
  const uintptr_t shown = ShownCodeAddress(address);
  EXPECT_LE(shown, uintptr_t{0xFFFFFFFF});
  EXPECT_EQ(LineOf(216, shown).size(), 29u + 2u);
  // Code nobody loaded has no module to be shown against.
  EXPECT_EQ(ShownCodeAddress(reinterpret_cast<const void*>(uintptr_t{0x5000})), uintptr_t{0x5000});
}

TEST(LocateCode, CodeOutsideEveryModuleIsShownAgainstTheProgram) {
  const void* address = reinterpret_cast<const void*>(uintptr_t{0x5000});
  CodeLocation location = LocateCode(address);
  EXPECT_TRUE(location.ModuleName == u"rud_unit_tests" || location.ModuleName == u"rud_unit_tests.exe");
  EXPECT_EQ(location.Offset, uintptr_t{0x4000});
}

// The death tests below end a child process the way the program ends. (gtest
// reads the child's standard error as text on Windows: line ends differ.)
class ProcessEndDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ProcessEndDeathTest, EndProcessWritesOutPendingOutputAndExitsWithTheCode) {
  EXPECT_EXIT(
      {
        SendStandardOutputToStandardError();
        StartConsoleStreams();
        StandardOutput().Write(u"pending words");
        StandardOutput().EndLine();
        ExitCode = 7;
        EndProcess();
      },
      testing::ExitedWithCode(7), "pending words");
}

TEST_F(ProcessEndDeathTest, AnEscapedErrorIsReportedOnStandardErrorWithExitCode1) {
  EXPECT_EXIT(
      {
        StartConsoleStreams();
        Exception error(u"Sin punto final");
        ReportUncaughtError(error, error.RaiseAddress);
      },
      testing::ExitedWithCode(1),
      ContainsInOrder({"Exception Exception in module rud_unit_tests", " at ", "Sin punto final."}));
}

TEST_F(ProcessEndDeathTest, AFailingWriteOutIsReportedInPlaceOfTheError) {
  EXPECT_EXIT(
      {
        StartConsoleStreams();
        ConsoleStream& out = StandardOutput();
        out.Write(u"x");  // opens over the real handle
        out.Handle = INVALID_HANDLE_VALUE;  // and now the write-out fails
        Exception error(u"Primero");
        ReportUncaughtError(error, error.RaiseAddress);
      },
      testing::ExitedWithCode(1),
      ContainsInOrder({"Exception EInOutError in module rud_unit_tests", "I/O error 6."}));
}

TEST_F(ProcessEndDeathTest, ARuntimeErrorWritesItsLineAndExitsWithItsNumber) {
  EXPECT_EXIT(
      {
        SendStandardOutputToStandardError();
        StartConsoleStreams();
        ReportRuntimeError(203, reinterpret_cast<const void*>(uintptr_t{0x00401A2B}));
      },
      testing::ExitedWithCode(203), "Runtime error 203 at 00401A2B");
}

TEST_F(ProcessEndDeathTest, AnOutOfMemoryFailureIsRuntimeError203) {
  EXPECT_EXIT(
      {
        SendStandardOutputToStandardError();
        StartConsoleStreams();
        try {
          throw std::bad_alloc();
        } catch (...) {
          ReportEscapedFailure();
        }
      },
      testing::ExitedWithCode(203), "Runtime error 203 at ");
}

TEST_F(ProcessEndDeathTest, AForeignExceptionIsRuntimeError217) {
  EXPECT_EXIT(
      {
        SendStandardOutputToStandardError();
        StartConsoleStreams();
        try {
          throw 42;
        } catch (...) {
          ReportEscapedFailure();
        }
      },
      testing::ExitedWithCode(217), "Runtime error 217 at ");
}

}  // namespace
