// What the real program does when its standard streams fail.
#include <gtest/gtest.h>

#include <cctype>

#include "e2e/e2e_fixture.h"

namespace {


class ConsoleFaults : public OnEachLeg {
 protected:
  // The escaped-error report for EInOutError with `message`, the address
  // being whatever the build puts there.
  void ExpectEscapedReport(const std::string& err, const std::string& message) {
    std::string head = "Exception EInOutError in module " + ModuleName() + " at ";
    std::string tail = ".\r\n" + message + ".\r\n\r\n";
    ASSERT_GT(err.size(), head.size() + tail.size()) << err;
    EXPECT_EQ(err.substr(0, head.size()), head);
    EXPECT_EQ(err.substr(err.size() - tail.size()), tail);
    std::string address = err.substr(head.size(), err.size() - head.size() - tail.size());
    EXPECT_GE(address.size(), 8u) << address;
    for (char c : address) EXPECT_TRUE(std::isxdigit(c) && !std::islower(c)) << address;
  }
};
RUD_ON_EACH_LEG(ConsoleFaults);

TEST_P(ConsoleFaults, NoUsableStandardOutputEndsWithTheReportOnStandardError) {
  RunOptions options;
  options.output = OutputKind::Closed;
  // Held open: a wait for input here would run into the time limit.
  options.input = InputKind::HeldOpen;
  options.timeLimit = std::chrono::seconds(60);
  RunResult result = world().Run(options);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  ExpectEscapedReport(result.err, "I/O error 105");
}

TEST_P(ConsoleFaults, AFullDeviceEndsWithDiskFullOnStandardError) {
  RunOptions options;
  options.output = OutputKind::FullDevice;
  options.input = InputKind::HeldOpen;
  options.timeLimit = std::chrono::seconds(60);
  RunResult result = world().Run(options);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 1);
  ExpectEscapedReport(result.err, "I/O error 112");
}

TEST_P(ConsoleFaults, AFailedWaitForInputEscapesWithoutWaiting) {
  RunOptions options;
  options.input = InputKind::Closed;
  RunResult result = world().Run(options);
  EXPECT_EQ(result.exitCode, 1);
  // The report line is written before the wait fails.
  EXPECT_EQ(result.out, world().Lines({kBanner, "Exception: Error en la ruta de actualización."}));
  ExpectEscapedReport(result.err, "I/O error 6");
}

TEST_P(ConsoleFaults, OutputIntoAClosedPipeFailsWithoutEndingTheProcess) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
  } cases[] = {
      // Less than a buffer: the only write is the last one, at the end.
      {"short run", {}},
      // More than a buffer: a write fails in the middle of the run.
      {"long run", {"/upd", "xnmpayro"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions options;
    options.arguments = c.arguments;
    options.output = OutputKind::ClosedPipe;
    options.input = InputKind::NullDevice;
    RunResult result = world().Run(options);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
  }
}

}  // namespace
