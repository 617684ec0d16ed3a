#include "e2e/world.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "e2e/smb_server.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

fs::path WinePrefix() {
  std::string prefix = EnvironmentValue("WINEPREFIX");
  if (!prefix.empty()) return prefix;
  return fs::path(EnvironmentValue("HOME")) / ".wine";
}

bool OnPath(const std::string& program) {
  std::string path = EnvironmentValue("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    fs::path candidate = fs::path(path.substr(start, end - start)) / program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// UTF-16 code units as four hexadecimal digits each: text the launcher
// receives unchanged whatever Wine does to its command line.
std::string Hex(std::u16string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (char16_t unit : text) {
    for (int shift = 12; shift >= 0; shift -= 4) hex += kDigits[(unit >> shift) & 0xF];
  }
  return hex;
}

std::u16string Widened(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string WindowsFormOf(const fs::path& hostPath) {
  std::string path = "Z:" + fs::absolute(hostPath).lexically_normal().string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes) {
  std::map<std::string, std::string> all;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    size_t equals = text.find('=');
    if (equals != std::string::npos) all[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : changes) {
    if (value.empty()) {
      all.erase(name);
    } else {
      all[name] = value;
    }
  }
  std::vector<std::string> result;
  for (const auto& [name, value] : all) result.push_back(name + "=" + value);
  return result;
}

std::map<std::string, std::string> WineEnvironment() {
  std::string overrides = EnvironmentValue("WINEDLLOVERRIDES");
  // An unhandled fault must not start Wine's debugger and wait.
  overrides = overrides.empty() ? "winedbg.exe=d;mscoree=d;mshtml=d" : overrides + ";winedbg.exe=d";
  return {{"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", overrides}, {"WINEPREFIX", WinePrefix().string()}};
}

// Removes the lines Wine itself writes ("wine: ...").
std::string WithoutWineLines(const std::string& text) {
  std::string kept;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string_view line(text.data() + start, end - start);
    if (line.substr(0, 6) != "wine: ") kept.append(line);
    start = end;
  }
  return kept;
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Where the child's descriptor 0, 1 or 2 comes from: a descriptor of ours,
// or none at all (closed).
struct ChildStreams {
  int input = -1;
  int output = -1;
  int error = -1;
};

[[noreturn]] void ExecChild(const ChildStreams& streams, const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment,
                            std::optional<unsigned long long> fileSizeLimit) {
  setpgid(0, 0);
  if (fileSizeLimit) {
    const rlimit limit{*fileSizeLimit, *fileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
  }
  // The program must meet the default dispositions, whatever ours are.
  signal(SIGPIPE, SIG_DFL);
  signal(SIGXFSZ, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  const int sources[3] = {streams.input, streams.output, streams.error};
  // Out of the way of 0 to 2 first, so no dup2 below overwrites a source.
  int moved[3];
  for (int k = 0; k < 3; ++k) moved[k] = sources[k] >= 0 ? fcntl(sources[k], F_DUPFD, 10) : -1;
  for (int k = 0; k < 3; ++k) {
    if (moved[k] >= 0) {
      dup2(moved[k], k);
    } else {
      close(k);
    }
  }
  close_range(3, ~0u, 0);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const std::string& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
  env.push_back(nullptr);
  execvpe(args[0], args.data(), env.data());
  _exit(127);
}

struct Process {
  std::vector<std::string> argv;
  std::vector<std::string> environment;
};

RunResult RunProcess(const Process& process, const RunOptions& options, const fs::path& scratch) {
  RunResult result;
  ChildStreams child;
  int inputWriter = -1;
  int outputReader = -1;
  int errorReader = -1;
  int inputFile = -1;
  fs::path outputFile = scratch / "standard-output.bin";

  auto makePipe = [](int& readEnd, int& writeEnd) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    readEnd = ends[0];
    writeEnd = ends[1];
  };

  switch (options.input) {
    case InputKind::Bytes:
    case InputKind::HeldOpen:
      makePipe(child.input, inputWriter);
      break;
    case InputKind::NullDevice:
      child.input = open("/dev/null", O_RDONLY | O_CLOEXEC);
      break;
    case InputKind::File:
      inputFile = open(options.inputFile.c_str(), O_RDONLY | O_CLOEXEC);
      if (inputFile < 0) throw std::system_error(errno, std::generic_category(), "open input");
      child.input = inputFile;
      break;
    case InputKind::Closed:
      break;
  }
  switch (options.output) {
    case OutputKind::Pipe:
      makePipe(outputReader, child.output);
      break;
    case OutputKind::File:
      child.output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      break;
    case OutputKind::ClosedPipe: {
      int readEnd = -1;
      makePipe(readEnd, child.output);
      close(readEnd);
      break;
    }
    case OutputKind::FullDevice:
      child.output = open("/dev/full", O_WRONLY | O_CLOEXEC);
      break;
    case OutputKind::Closed:
      break;
  }
  makePipe(errorReader, child.error);

  pid_t pid = fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) ExecChild(child, process.argv, process.environment, options.fileSizeLimit);

  if (child.input != inputFile) CloseIfOpen(child.input);
  CloseIfOpen(child.output);
  CloseIfOpen(child.error);
  if (inputWriter >= 0) fcntl(inputWriter, F_SETFL, O_NONBLOCK);

  size_t inputSent = 0;
  if (options.input == InputKind::Bytes && options.inputBytes.empty()) CloseIfOpen(inputWriter);
  auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
  bool reaped = false;
  int status = 0;
  // Once the program has ended, whatever still holds its pipes gets a short
  // while to let go.
  std::chrono::steady_clock::time_point drainDeadline{};
  for (;;) {
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) {
      reaped = true;
      if (options.input == InputKind::HeldOpen) CloseIfOpen(inputWriter);
      drainDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    }
    auto now = std::chrono::steady_clock::now();
    if (reaped && ((outputReader < 0 && errorReader < 0) || now > drainDeadline)) break;
    if (!reaped && now > deadline) {
      result.timedOut = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      reaped = true;
      drainDeadline = now + std::chrono::seconds(2);
      CloseIfOpen(inputWriter);
      continue;
    }

    pollfd fds[3];
    int count = 0;
    if (outputReader >= 0) fds[count++] = {outputReader, POLLIN, 0};
    if (errorReader >= 0) fds[count++] = {errorReader, POLLIN, 0};
    bool sending = options.input == InputKind::Bytes && inputWriter >= 0;
    if (sending) fds[count++] = {inputWriter, POLLOUT, 0};
    poll(fds, static_cast<nfds_t>(count), 50);
    for (int k = 0; k < count; ++k) {
      if (fds[k].revents == 0) continue;
      if (fds[k].fd == inputWriter) {
        ssize_t sent = write(inputWriter, options.inputBytes.data() + inputSent,
                             options.inputBytes.size() - inputSent);
        if (sent > 0) inputSent += static_cast<size_t>(sent);
        if (sent < 0 || inputSent == options.inputBytes.size()) CloseIfOpen(inputWriter);
        continue;
      }
      char buffer[4096];
      ssize_t got = read(fds[k].fd, buffer, sizeof buffer);
      bool isOutput = fds[k].fd == outputReader;
      if (got > 0) {
        (isOutput ? result.out : result.err).append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        CloseIfOpen(isOutput ? outputReader : errorReader);
      }
    }
  }
  CloseIfOpen(inputWriter);
  CloseIfOpen(outputReader);
  CloseIfOpen(errorReader);

  if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
    result.exitCode = 128 + result.signal;
  }
  if (inputFile >= 0) {
    result.inputOffset = lseek(inputFile, 0, SEEK_CUR);
    close(inputFile);
  }
  if (options.output == OutputKind::File) result.out = ReadFileBytes(outputFile);
  return result;
}

// Runs a helper to its end with its output discarded. Whatever it leaves
// running (Wine's services) holds no pipe of ours.
void RunQuietly(std::vector<std::string> argv, const std::map<std::string, std::string>& env) {
  argv.insert(argv.begin(), {"sh", "-c", "exec \"$@\" >/dev/null 2>&1 </dev/null", "sh"});
  RunOptions options;
  options.input = InputKind::NullDevice;
  options.timeLimit = std::chrono::seconds(180);
  TempFolder scratch;
  RunProcess({std::move(argv), EnvironmentWith(env)}, options, scratch.Path());
}

// One wineserver for the whole test run: started persistent before the
// first test, so no run waits for a server to come up or hands it our pipes,
// and stopped at the end.
class WineServer : public testing::Environment {
 public:
  void SetUp() override {
    if (LegUnavailable(Leg::Wine)) return;
    RunQuietly({"wineserver", "-p"}, WineEnvironment());
    RunQuietly({WineLoader(), "wineboot"}, WineEnvironment());
  }
  void TearDown() override {
    if (LegUnavailable(Leg::Wine)) return;
    RunQuietly({"wineserver", "-k"}, WineEnvironment());
  }
};

[[maybe_unused]] testing::Environment* const wineServer =
    testing::AddGlobalTestEnvironment(new WineServer);

}  // namespace

// Wine's loader for the Windows build under test: RUD_WINE names it (the
// 64-bit loader itself for an x86_64 build, since Debian's `wine` wrapper
// starts the 32-bit loader whenever wine32 is installed); `wine` otherwise.
std::string WineLoader() {
  std::string loader = EnvironmentValue("RUD_WINE");
  return loader.empty() ? "wine" : loader;
}

std::string LegName(Leg leg) { return leg == Leg::Native ? "Native" : "Wine"; }

std::string SettingName(const Setting& setting) {
  return LegName(setting.leg) + (setting.served == Served::OverSmb ? "OverSmb" : "");
}

void PrintTo(const Setting& setting, std::ostream* out) { *out << SettingName(setting); }

std::optional<std::string> SettingUnavailable(const Setting& setting) {
  if (std::optional<std::string> reason = LegUnavailable(setting.leg)) return reason;
  if (setting.served == Served::OverSmb) return SmbServerUnavailable();
  return std::nullopt;
}

fs::path WindowsBuildFolder() {
  std::string build = EnvironmentValue("RUD_WINDOWS_BUILD");
  return build.empty() ? EnvironmentValue("RUD_WIN32_BUILD") : build;
}

std::optional<std::string> LegUnavailable(Leg leg) {
  if (leg == Leg::Native) {
    if (!fs::exists(RUD_NATIVE_BINARY)) return std::string("the native build is missing");
    return std::nullopt;
  }
  fs::path build = WindowsBuildFolder();
  if (build.empty()) return std::string("RUD_WINDOWS_BUILD is not set (a Windows build folder)");
  if (!fs::exists(build / "rud.exe")) return "no rud.exe in " + build.string();
  if (!fs::exists(build / "tests" / "rud_launch.exe")) return "no tests/rud_launch.exe in " + build.string();
  const std::string loader = WineLoader();
  if (loader.find('/') != std::string::npos ? access(loader.c_str(), X_OK) != 0 : !OnPath(loader)) {
    return loader + " can't be started";
  }
  return std::nullopt;
}

namespace {

fs::path WineUncLink() { return WinePrefix() / "dosdevices" / "unc" / "127.0.0.1"; }

// The share's files as the last world left them go; the share itself stays.
void EmptyShares() {
  for (int server : {1, 2}) {
    for (const auto& entry : fs::directory_iterator(PrivateSmbServer()->Share(server))) {
      fs::remove_all(entry.path());
    }
  }
}

}  // namespace

World::World(Leg leg, Served served) : leg_(leg), served_(served) {
  std::error_code ignored;
  if (leg_ == Leg::Native) {
    fs::create_directories(DriveC());
  } else {
    // The prefix's drive C: is shared by every run: each world starts
    // without an installed suite.
    fs::remove_all(DriveC() / "ZARVEK", ignored);
  }
  if (served_ == Served::Folder) return;
  EmptyShares();
  if (leg_ == Leg::Wine) {
    // Wine finds \\host\share\rest at dosdevices/unc/host/share/rest. Only
    // the first server is named there: the second is reached through DFS.
    fs::create_directories(WineUncLink().parent_path());
    fs::remove(WineUncLink(), ignored);
    fs::create_directory_symlink(PrivateSmbServer()->Mount() / "127.0.0.1", WineUncLink());
  }
}

World::~World() {
  std::error_code ignored;
  if (leg_ == Leg::Wine) fs::remove_all(DriveC() / "ZARVEK", ignored);
  if (served_ == Served::Folder) return;
  EmptyShares();
  if (leg_ == Leg::Wine) fs::remove(WineUncLink(), ignored);
}

fs::path World::ServerFolder() const {
  return served_ == Served::OverSmb ? PrivateSmbServer()->Share(1) : folder_ / "server";
}

std::string World::ServerArgument() const {
  return served_ == Served::OverSmb ? "\\\\127.0.0.1\\upd" : ProgramPathOf(ServerFolder());
}

std::map<std::string, std::string> World::ServerEnvironment() const {
  if (served_ == Served::Folder) return {};
  return {{"RUD_UNC_ROOT", PrivateSmbServer()->Mount().string()}};
}

fs::path World::DriveC() const {
  return leg_ == Leg::Native ? folder_ / "C" : WinePrefix() / "drive_c";
}

std::string World::ProgramPathOf(const fs::path& hostPath) const {
  return leg_ == Leg::Native ? hostPath.string() : WindowsFormOf(hostPath);
}

std::string World::Encoded(std::string_view utf8) const {
  if (leg_ == Leg::Native) return std::string(utf8);
  // Code page 1252 agrees with Latin-1 on every character the tests use.
  std::string bytes;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else if ((lead & 0xE0) == 0xC0 && lead <= 0xC3 && i + 1 < utf8.size()) {
      bytes += static_cast<char>(((lead & 0x1F) << 6) | (utf8[++i] & 0x3F));
    } else {
      throw std::invalid_argument("not a Latin-1 text");
    }
  }
  return bytes;
}

std::string World::Lines(std::initializer_list<std::string_view> lines) const {
  std::string bytes;
  for (std::string_view line : lines) bytes += Encoded(line) + "\r\n";
  return bytes;
}

RunResult World::Run(const RunOptions& options) const {
  Process process;
  RunOptions adjusted = options;
  if (leg_ == Leg::Native) {
    if (options.commandLine) throw std::logic_error("an exact command line needs the Wine leg");
    process.argv = {options.program.value_or(RUD_NATIVE_BINARY)};
    process.argv.insert(process.argv.end(), options.arguments.begin(), options.arguments.end());
    std::map<std::string, std::string> env = {
        {"LC_ALL", ""}, {"LC_CTYPE", ""}, {"LANG", "C.UTF-8"}, {"RUD_DRIVE_C", DriveC().string()}};
    env.merge(ServerEnvironment());
    for (const auto& change : options.environment) env[change.first] = change.second;
    process.environment = EnvironmentWith(env);
    return RunProcess(process, adjusted, folder_.Path());
  }

  std::map<std::string, std::string> env = WineEnvironment();
  env["LC_ALL"] = "";
  env["LANG"] = "en_US.UTF-8";
  for (const auto& change : options.environment) env[change.first] = change.second;
  process.environment = EnvironmentWith(env);

  if (options.fileSizeLimit) throw std::logic_error("a file-size limit needs the native leg");
  fs::path build = WindowsBuildFolder();
  if (options.program) {
    if (options.commandLine || options.input == InputKind::Closed || options.output == OutputKind::Closed) {
      throw std::logic_error("another program runs with argv and usable handles only");
    }
    process.argv = {WineLoader(), *options.program};
    process.argv.insert(process.argv.end(), options.arguments.begin(), options.arguments.end());
    RunResult result = RunProcess(process, adjusted, folder_.Path());
    result.err = WithoutWineLines(result.err);
    return result;
  }
  bool closedInput = options.input == InputKind::Closed;
  bool closedOutput = options.output == OutputKind::Closed;
  if (!options.commandLine && !closedInput && !closedOutput) {
    process.argv = {WineLoader(), (build / "rud.exe").string()};
    process.argv.insert(process.argv.end(), options.arguments.begin(), options.arguments.end());
  } else {
    // Through the launcher: Wine would rebuild the command line from argv,
    // and it never shows a closed descriptor as an unusable handle.
    std::u16string commandLine;
    if (options.commandLine) {
      commandLine = *options.commandLine;
    } else {
      commandLine = u"rud";
      for (const std::string& argument : options.arguments) {
        bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        commandLine += quote ? u" \"" + Widened(argument) + u"\"" : u" " + Widened(argument);
      }
    }
    process.argv = {WineLoader(), (build / "tests" / "rud_launch.exe").string(),
                    "--app=" + Hex(Widened(WindowsFormOf(build / "rud.exe"))),
                    "--cmd=" + Hex(commandLine),
                    std::string("--stdin=") + (closedInput ? "invalid" : "inherit"),
                    std::string("--stdout=") + (closedOutput ? "invalid" : "inherit")};
    // The launcher's own descriptors stay usable: Wine mishandles closed ones.
    if (closedInput) adjusted.input = InputKind::NullDevice;
    if (closedOutput) adjusted.output = OutputKind::Pipe;
  }
  RunResult result = RunProcess(process, adjusted, folder_.Path());
  result.err = WithoutWineLines(result.err);
  return result;
}
