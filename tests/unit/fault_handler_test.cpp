// Faults the program can't survive end with a runtime-error line and the
// fault's number, each in a child process.
#include "platform/fault_handler.h"

#include <gtest/gtest.h>

#include "console/console_stream.h"
#include "console/process_end.h"
#include "support/test_pipe.h"

namespace {

void Prepare() {
  SendStandardOutputToStandardError();
  StartConsoleStreams();
  InstallFaultHandlers(ReportFatalFault);
}

// Into the program's read-only data: an access violation everywhere (Wine
// keeps low memory, address 0 included, mapped for old programs).
const char kReadOnly[] = "read-only";

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteIntoReadOnlyData() {
  *const_cast<volatile char*>(kReadOnly) = 'x';
}

volatile int quotient = 0;

__attribute__((noinline, no_sanitize("undefined"))) void DivideByZero() {
  volatile int zero = 0;
  quotient = 10 / zero;
}

volatile int recursionDepth = 1 << 30;

// Deep enough to run out of any stack; each frame keeps a kilobyte.
__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (depth == 0) return frame[0];
  return Recurse(depth - 1) + frame[0];
}

class FaultHandlerDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(FaultHandlerDeathTest, AnAccessViolationIsRuntimeError216) {
  EXPECT_EXIT(
      {
        Prepare();
        WriteIntoReadOnlyData();
      },
      testing::ExitedWithCode(216), "Runtime error 216 at ");
}

TEST_F(FaultHandlerDeathTest, DivisionByZeroIsRuntimeError200) {
  EXPECT_EXIT(
      {
        Prepare();
        DivideByZero();
      },
      testing::ExitedWithCode(200), "Runtime error 200 at ");
}

TEST_F(FaultHandlerDeathTest, AnIllegalInstructionIsRuntimeError217) {
  EXPECT_EXIT(
      {
        Prepare();
        __builtin_trap();
      },
      testing::ExitedWithCode(217), "Runtime error 217 at ");
}

TEST_F(FaultHandlerDeathTest, AStackOverflowIsRuntimeError202) {
  EXPECT_EXIT(
      {
        Prepare();
        Recurse(recursionDepth);
      },
      testing::ExitedWithCode(202), "Runtime error 202 at ");
}

TEST_F(FaultHandlerDeathTest, PendingOutputIsWrittenBeforeTheLine) {
  EXPECT_EXIT(
      {
        Prepare();
        StandardOutput().Write(u"antes");
        WriteIntoReadOnlyData();
      },
      testing::ExitedWithCode(216), "antesRuntime error 216 at ");
}

}  // namespace
