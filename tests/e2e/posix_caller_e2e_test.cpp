// The native program as shells and scripts call it: argv as given, a locale
// that is not UTF-8, no /proc, an input shared with the caller, stop signals
// and fault lines that stay the same from run to run.
#include <fcntl.h>
#include <locale.h>
#include <pty.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/world.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoServer = "Exception: Error en la ruta de actualización.";
constexpr const char* kNoCode = "Exception: Error en el código de programa.";

class PosixCaller : public testing::Test {
 protected:
  void SetUp() override {
    if (std::optional<std::string> reason = LegUnavailable(Leg::Native)) GTEST_SKIP() << *reason;
    world_.emplace(Leg::Native);
  }
  World& world() { return *world_; }
  std::string Server() {
    fs::create_directories(world().folder() / "server");
    return (world().folder() / "server").string();
  }
  // A shell command run in the world, rud's path in $RUD and the server's in $SRV.
  RunResult Shell(const std::string& command, RunOptions options = {}) {
    options.program = "bash";
    options.arguments = {"-c", command};
    options.environment["RUD"] = RUD_NATIVE_BINARY;
    options.environment["SRV"] = Server();
    return world().Run(options);
  }

 private:
  std::optional<World> world_;
};

TEST_F(PosixCaller, EveryArgumentKeepsItsPlaceEvenWhenEmpty) {
  struct Row {
    const char* name;
    std::string command;
    std::vector<std::string> lines;
  } rows[] = {
      {"an empty server argument is the server's", "\"$RUD\" '' XNMPAYRO", {kBanner, kNoServer}},
      {"an empty code after a server", "\"$RUD\" \"$SRV\" ''", {kBanner, kNoCode}},
      {"an unset variable", "unset S; \"$RUD\" \"$S\" XNMPAYRO", {kBanner, kNoServer}},
      {"an empty argv[0]",
       "exec -a '' \"$RUD\" /srv XNMPAYRO",
       {kBanner, "Servidor de actualizaciones: /srv", "Programa Seleccionado: XNMPAYRO",
        "Ruta del archivo: Garh\\NM\\bin\\"}},
      {"quotes and blanks inside arguments",
       "\"$RUD\" ' \"a b\" ' '\"X\"NM'",
       {kBanner, "Servidor de actualizaciones:  \"a b\" ", "Programa Seleccionado: \"X\"NM",
        "Ruta del archivo: Garh\\X\"\\bin\\"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RunResult result = Shell(row.command);
    // The update step's own lines (nothing is found) come after these.
    std::string expected;
    for (const std::string& line : row.lines) expected += line + "\r\n";
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    EXPECT_EQ(result.exitCode, 1);
  }
}

TEST_F(PosixCaller, ArgumentsAreReadInTheLocalesCodeSet) {
  locale_t latin1 = newlocale(LC_CTYPE_MASK, "es_ES.ISO-8859-1", static_cast<locale_t>(0));
  if (latin1 == static_cast<locale_t>(0)) GTEST_SKIP() << "no es_ES.ISO-8859-1 locale (scripts/install-deps.sh)";
  freelocale(latin1);
  RunOptions options;
  options.arguments = {"/srv/upd\xF1", "XNMPAYRO"};
  options.environment["LANG"] = "es_ES.ISO-8859-1";
  RunResult result = world().Run(options);
  // Out in the same code set: the banner's "Ó" and the argument's "ñ" are one byte each.
  const std::string expected =
      "ZARVEK RUD: SERVICIO DE ACTUALIZACI\xD3N DE PROGRAMAS VERSI\xD3N 12.6\r\n"
      "Servidor de actualizaciones: /srv/upd\xF1\r\n"
      "Programa Seleccionado: XNMPAYRO\r\n";
  EXPECT_EQ(result.out.substr(0, expected.size()), expected);
}

// Whether this machine lets a test hide /proc in a mount namespace of its
// own; a container without the right does not.
bool CanHideProc() {
  return std::system("unshare -m sh -c 'mount -t tmpfs rud-test /proc' >/dev/null 2>&1") == 0;
}

TEST_F(PosixCaller, RunsWithoutProc) {
  if (!CanHideProc()) GTEST_SKIP() << "no mount namespace with /proc hidden here";
  const std::string hidden = "unshare -m sh -c 'mount -t tmpfs rud-test /proc && test ! -e /proc/self && ";
  {
    SCOPED_TRACE("the arguments");
    RunResult result = Shell(hidden + "exec \"$0\" \"$@\"' \"$RUD\" /srv XNMPAYRO");
    EXPECT_EQ(result.out.substr(0, 160).find("Programa Seleccionado: XNMPAYRO\r\n") != std::string::npos, true)
        << result.out;
  }
  {
    SCOPED_TRACE("the module named in the standard-error report");
    RunResult result = Shell(hidden + "exec \"$0\" \"$@\" >&-' \"$RUD\"");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("Exception EInOutError in module rud at ", 0), 0u) << result.err;
  }
}

// The input is the caller's too: rud takes the line after it as its Enter,
// and the caller reads on from the line after that.
TEST_F(PosixCaller, AScriptOrALoopGoesOnAfterAFailedRun) {
  const fs::path script = world().folder().WriteFile(
      "script.sh",
      "echo first\n"
      "\"$RUD\" \"$SRV\" >/dev/null; echo \"rud $?\"\n"
      "this line is the Enter rud waits for\n"
      "echo after\n"
      "echo last\n");
  // A local copy and no server copy: nothing to do, exit code 0.
  const fs::path local = world().DriveC() / "ZARVEK" / "Garh" / "NM" / "bin";
  fs::create_directories(local);
  std::ofstream(local / "XNMPAYRO.exe", std::ios::binary) << "MZ";
  const fs::path list = world().folder().WriteFile("list.txt", "XNMPAYRO\n\nENTER\nXNMPAYRO\n");
  const std::string loop =
      "while read -r code; do \"$RUD\" \"$SRV\" \"$code\" >/dev/null; echo \"$code: $?\"; done";
  struct Row {
    const char* name;
    std::string command;
    std::string out;
  } rows[] = {
      {"bash reads the script from a file", "bash < '" + script.string() + "'", "first\nrud 1\nafter\nlast\n"},
      {"bash reads the script from a pipe", "cat '" + script.string() + "' | bash", "first\nrud 1\nafter\nlast\n"},
      {"a loop over a file", loop + " < '" + list.string() + "'", "XNMPAYRO: 0\n: 1\nXNMPAYRO: 0\n"},
      {"a loop over a pipe", "cat '" + list.string() + "' | " + loop, "XNMPAYRO: 0\n: 1\nXNMPAYRO: 0\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RunResult result = Shell(row.command);
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
  }
}

// rud started by the test itself, for the signal cases: standard output to a
// file, standard input a pipe held open or a pseudo-terminal.
class WaitingRud {
 public:
  WaitingRud(const World& world, const fs::path& output, const std::string& program, bool onTerminal)
      : output_(output) {
    int input[2] = {-1, -1};
    if (!onTerminal && pipe(input) != 0) return;
    pid_ = onTerminal ? forkpty(&terminal_, nullptr, nullptr, nullptr) : fork();
    if (pid_ == 0) {
      if (!onTerminal) {
        dup2(input[0], 0);
        close(input[0]);
        close(input[1]);
      }
      const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      dup2(out, 1);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV}) ::signal(signal, SIG_DFL);
      setenv("LANG", "C.UTF-8", 1);
      unsetenv("LC_ALL");
      setenv("RUD_DRIVE_C", world.DriveC().c_str(), 1);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    if (!onTerminal) {
      close(input[0]);
      inputEnd_ = input[1];
    }
  }
  ~WaitingRud() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (inputEnd_ >= 0) close(inputEnd_);
    if (terminal_ >= 0) close(terminal_);
  }

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  int Terminal() const { return terminal_; }

  // Until the program waits in a read of standard input.
  bool WaitUntilReading() {
    const std::string file = "/proc/" + std::to_string(pid_) + "/syscall";
    const std::string reading = std::to_string(SYS_read) + " 0x0 ";
    for (int tries = 0; tries < 400; ++tries) {
      std::ifstream in(file);
      std::string state;
      if (!in) {
        // No way to look: a generous pause instead.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return true;
      }
      std::getline(in, state);
      if (state.rfind(reading, 0) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  int WaitForEnd() {
    int status = 0;
    waitpid(pid_, &status, 0);
    ended_ = true;
    return status;
  }

  std::string Output() const {
    std::ifstream in(output_, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

 private:
  fs::path output_;
  pid_t pid_ = -1;
  int terminal_ = -1;
  int inputEnd_ = -1;
  bool ended_ = false;
};

TEST_F(PosixCaller, AStopAtTheWaitKeepsTheWholeReport) {
  const std::string report = world().Lines({kBanner, kNoServer});
  struct Row {
    const char* name;
    bool onTerminal;
    int signal;
  } rows[] = {
      {"Ctrl+C on the terminal", true, SIGINT},
      {"kill -TERM", false, SIGTERM},
      {"kill -HUP", false, SIGHUP},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WaitingRud rud(world(), world().folder() / "out.txt", RUD_NATIVE_BINARY, row.onTerminal);
    ASSERT_TRUE(rud.Started());
    ASSERT_TRUE(rud.WaitUntilReading());
    if (row.onTerminal) {
      ASSERT_EQ(write(rud.Terminal(), "\x03", 1), 1);
    } else {
      kill(rud.Pid(), row.signal);
    }
    const int status = rud.WaitForEnd();
    // Ended by the signal itself: a shell shows 128 + its number.
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), row.signal);
    EXPECT_EQ(rud.Output(), report);
  }
}

// The line after the report: "Runtime error nnn at hhhhhhhh" and CR LF.
std::string LastLine(const std::string& output) {
  const size_t end = output.size() >= 2 ? output.size() - 2 : 0;
  const size_t start = output.rfind("\r\n", end == 0 ? 0 : end - 1);
  return output.substr(start == std::string::npos ? 0 : start + 2);
}

TEST_F(PosixCaller, AFaultLineIsTheSameInEveryRun) {
  struct Row {
    const char* name;
    std::string program;
    bool sendSegv;  // sent while it waits for Enter, instead of its own fault
  } rows[] = {
      {"a fault in the program's own code", RUD_FAULT_PROBE, false},
      {"SIGSEGV sent during the wait", RUD_NATIVE_BINARY, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string lines[2];
    for (std::string& line : lines) {
      WaitingRud rud(world(), world().folder() / "out.txt", row.program, false);
      ASSERT_TRUE(rud.Started());
      if (row.sendSegv) {
        ASSERT_TRUE(rud.WaitUntilReading());
        kill(rud.Pid(), SIGSEGV);
      }
      const int status = rud.WaitForEnd();
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 216);
      line = LastLine(rud.Output());
      ASSERT_EQ(line.size(), 31u) << line;
      EXPECT_EQ(line.substr(0, 21), "Runtime error 216 at ");
      EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF", 21), 29u) << line;
    }
    EXPECT_EQ(lines[0], lines[1]);
  }
}

}  // namespace
