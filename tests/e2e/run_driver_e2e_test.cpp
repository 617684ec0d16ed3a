// The run's lines, byte for byte, from the real program on each leg.
//
// The update step comes after the "Ruta del archivo: " line; these tests give
// an empty server folder and look at the lines up to that one only.
#include <gtest/gtest.h>

#include "e2e/e2e_fixture.h"

namespace {


class RunLines : public OnEachLeg {
 protected:
  std::string ServerFolder() {
    std::filesystem::create_directories(world().folder() / "server");
    return world().ProgramPathOf(world().folder() / "server");
  }
};
RUD_ON_EACH_LEG(RunLines);

TEST_P(RunLines, NoArgumentsReportsTheServerPathAndWaitsForALine) {
  struct Case {
    const char* name;
    std::string input;
  } cases[] = {
      {"input at its end", ""},
      {"a line waiting", "\r\n"},
      {"more than a line waiting", "first\nsecond\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions options;
    options.inputBytes = c.input;
    RunResult result = world().Run(options);
    EXPECT_EQ(result.out, world().Lines({kBanner, "Exception: Error en la ruta de actualización."}));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 1);
  }
}

TEST_P(RunLines, TheWaitReadsOneLineEvenWhenItIsLongerThanTheBuffer) {
  // A first line of 200 bytes, then more: the program reads in 128-byte
  // pieces and gives back what it read past the line's end, so whoever
  // shares the input reads on from the second line.
  std::filesystem::path input =
      world().folder().WriteFile("input.txt", std::string(200, 'a') + "\n" + std::string(300, 'b') + "\n");
  RunOptions options;
  options.input = InputKind::File;
  options.inputFile = input;
  RunResult result = world().Run(options);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.inputOffset, 201);
}

TEST_P(RunLines, TheWaitLeavesThePipesNextLineToTheCaller) {
  // The caller's shell reads the line after the one the program took.
  RunOptions options;
  options.inputBytes = "enter\nnext line\nlast\n";
  if (OnWine()) {
    options.program = "cmd";
    options.arguments = {"/v:on", "/c",
                         world().ProgramPathOf(WindowsBuildFolder() / "rud.exe") +
                             " & set /p REST=& echo rest=!REST!"};
  } else {
    options.program = "sh";
    options.arguments = {"-c", "\"$0\"; read -r rest; echo \"rest=$rest\"", RUD_NATIVE_BINARY};
  }
  RunResult result = world().Run(options);
  EXPECT_NE(result.out.find("rest=next line"), std::string::npos) << result.out;
}

TEST_P(RunLines, MissingProgramCodeReportsItWithoutProgressLines) {
  RunOptions options;
  options.arguments = {ServerFolder()};
  RunResult result = world().Run(options);
  EXPECT_EQ(result.out, world().Lines({kBanner, "Exception: Error en el código de programa."}));
  EXPECT_EQ(result.exitCode, 1);
}

TEST_P(RunLines, AnEmptyArgumentKeepsItsPlaceOnlyWhereItIsListed) {
  // argv {"", "X01"}: natively the list itself, so argument 1 is the empty
  // one; under Wine the command line rud "" X01, whose quote pair the
  // splitting drops.
  RunOptions options;
  options.arguments = {"", "X01"};
  RunResult result = world().Run(options);
  const char* report = OnWine() ? "Exception: Error en el código de programa."
                                : "Exception: Error en la ruta de actualización.";
  EXPECT_EQ(result.out, world().Lines({kBanner, report}));
  EXPECT_EQ(result.exitCode, 1);
}

TEST_P(RunLines, ProgramCodesGiveTheirFolders) {
  struct Case {
    const char* code;
    const char* folder;
  } cases[] = {
      {"abcdefghij", "Garh\\bc\\bin\\"},  // cut to abcdefgh.exe
      {"xGnPayroll", "Ggen\\bin\\"},
      {"xgnabc", "Ggen\\bin\\"},
      {"A", "Garh\\.e\\bin\\"},  // A.exe
      {"AB", "Garh\\B.\\bin\\"},  // AB.exe
      {"a b", "Garh\\ b\\bin\\"},
  };
  std::string server = ServerFolder();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    RunOptions options;
    options.arguments = {server, c.code};
    RunResult result = world().Run(options);
    std::string expected = world().Lines({kBanner, "Servidor de actualizaciones: " + server,
                                          std::string("Programa Seleccionado: ") + c.code,
                                          std::string("Ruta del archivo: ") + c.folder});
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    EXPECT_FALSE(result.timedOut);
  }
}

TEST_P(RunLines, ProgressLinesShowTheArgumentsUntrimmed) {
  std::string server = ServerFolder();
  RunOptions options;
  options.arguments = {" \t" + server + " ", "\txnmpayro  "};
  RunResult result = world().Run(options);
  std::string expected =
      world().Lines({kBanner, "Servidor de actualizaciones:  \t" + server + " ",
                     "Programa Seleccionado: \txnmpayro  ", "Ruta del archivo: Garh\\nm\\bin\\"});
  EXPECT_EQ(result.out.substr(0, expected.size()), expected);
}

TEST_P(RunLines, EveryLineEndsInCarriageReturnAndLineFeed) {
  RunOptions options;
  options.arguments = {ServerFolder(), "xnmpayro"};
  RunResult result = world().Run(options);
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.substr(result.out.size() - 2), "\r\n");
  for (size_t at = result.out.find('\n'); at != std::string::npos; at = result.out.find('\n', at + 1)) {
    SCOPED_TRACE(at);
    ASSERT_GT(at, 0u);
    EXPECT_EQ(result.out[at - 1], '\r');
  }
}

TEST_P(RunLines, TheBannerInAFileIsInTheSystemCodePage) {
  RunOptions options;
  options.output = OutputKind::File;
  options.input = InputKind::NullDevice;
  RunResult result = world().Run(options);
  // Code page 1252 under Wine, the locale's UTF-8 natively.
  std::string accented = OnWine() ? "ACTUALIZACI\xD3N" : "ACTUALIZACI\xC3\x93N";
  EXPECT_NE(result.out.find(accented), std::string::npos) << result.out;
  EXPECT_EQ(result.out, world().Lines({kBanner, "Exception: Error en la ruta de actualización."}));
}

TEST(RunLinesNative, AnAsciiLocaleGetsTheBestFitLetter) {
  if (std::optional<std::string> reason = LegUnavailable(Leg::Native)) GTEST_SKIP() << *reason;
  World world(Leg::Native);
  RunOptions options;
  options.environment = {{"LANG", "C"}};
  options.input = InputKind::NullDevice;
  RunResult result = world.Run(options);
  EXPECT_EQ(result.out.substr(0, 65),
            "ZARVEK RUD: SERVICIO DE ACTUALIZACION DE PROGRAMAS VERSION 12.6\r\n");
}

// An administrator's run must not be led elsewhere by a standard user's
// junction: the program asks for RedirectionGuard before it touches a file.
// Wine has only a stub for it, which says that it was called.
TEST(RunLinesWine, AsksTheSystemToRefuseUsersLinks) {
  if (std::optional<std::string> reason = LegUnavailable(Leg::Wine)) GTEST_SKIP() << *reason;
  RunOptions options;
  options.environment = {{"WINEDEBUG", "fixme+process"}};
  options.input = InputKind::NullDevice;
  const std::string err = World(Leg::Wine).Run(options).err;
  EXPECT_NE(err.find("fixme:process:SetProcessMitigationPolicy (16, "), std::string::npos) << err;
}

TEST(RunLinesWine, AnExactCommandLineIsSplitByTheProgram) {
  if (std::optional<std::string> reason = LegUnavailable(Leg::Wine)) GTEST_SKIP() << *reason;
  World world(Leg::Wine);
  struct Case {
    const char16_t* commandLine;
    const char* server;
    const char* program;
    const char* folder;
  } cases[] = {
      // The backslash before the closing quote stays in the argument.
      {u"rud \"D:\\upd dir\\\" X01", "D:\\upd dir\\", "X01", "Garh\\01\\bin\\"},
      {u"rud a\"b c\"d X01", "ab cd", "X01", "Garh\\01\\bin\\"},
      {u"rud\tD:\\upd\t\tX01", "D:\\upd", "X01", "Garh\\01\\bin\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    RunOptions options;
    options.commandLine = c.commandLine;
    options.input = InputKind::NullDevice;
    RunResult result = world.Run(options);
    std::string expected = world.Lines({kBanner, std::string("Servidor de actualizaciones: ") + c.server,
                                        std::string("Programa Seleccionado: ") + c.program,
                                        std::string("Ruta del archivo: ") + c.folder});
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
  }
}

}  // namespace
