// The native program under load and faults: many runs updating one program
// at once, a run killed in the middle of its copy, a server copy replaced or
// rewritten while it is copied, and memcheck over the plain binary.
//
// Each run is started here directly, so that it can be stopped, changed under
// and killed at a chosen moment: a watch on the local folder reports the
// temporary copy the moment it is created, the run is stopped there, and the
// test acts while the temporary is still short of the whole file. A run that
// got further than that before it could be stopped is let go and the scenario
// starts again, a few times at most.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/smb_server.h"
#include "e2e/world.h"
#include "support/pe_writer.h"

extern char** environ;

namespace fs = std::filesystem;
using std::chrono::seconds;
using std::chrono::steady_clock;

namespace {

constexpr char kProgram[] = "XNMPAYRO";
constexpr char kFileName[] = "XNMPAYRO.exe";
constexpr char kCopyFailure[] = "Exception: Error al intentar copiar el archivo: ";
constexpr off_t kLargeBytes = off_t{256} << 20;
constexpr int kAttempts = 5;

// The bytes of a program file: a real executable with its version resource,
// then data up to `size`, every 8 bytes different, so that a piece copied to
// the wrong place or twice shows.
struct Image {
  std::string head;
  off_t size;
  uint64_t seed;
};

Image ProgramImage(const std::u16string& version, off_t size, uint64_t seed) {
  std::string head = BuildExecutable(PeKind::Pe32, SpanishVersionResource({{u"FileVersion", version}}));
  return {head, std::max<off_t>(size, static_cast<off_t>(head.size())), seed};
}

uint64_t ImageWord(const Image& image, uint64_t index) {
  return (index * 0x9E3779B97F4A7C15ULL) ^ image.seed;
}

// The image's bytes from `offset`, `length` of them; whole words where they
// can be, as the files run to hundreds of megabytes.
void ImageBytes(const Image& image, off_t offset, size_t length, std::string& bytes) {
  bytes.resize(length);
  for (size_t i = 0; i < length;) {
    const uint64_t at = static_cast<uint64_t>(offset) + i;
    if (at < image.head.size()) {
      bytes[i++] = image.head[at];
    } else if (at % 8 == 0 && length - i >= 8) {
      const uint64_t word = ImageWord(image, at / 8);
      std::memcpy(&bytes[i], &word, 8);  // little-endian, as byte by byte below
      i += 8;
    } else {
      bytes[i++] = static_cast<char>(ImageWord(image, at / 8) >> (8 * (at % 8)));
    }
  }
}

constexpr size_t kChunk = size_t{1} << 20;

void WriteImage(const fs::path& path, const Image& image, timespec lastWrite) {
  fs::create_directories(path.parent_path());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
  ASSERT_GE(fd, 0) << path;
  std::string bytes;
  for (off_t at = 0; at < image.size; at += static_cast<off_t>(bytes.size())) {
    ImageBytes(image, at, static_cast<size_t>(std::min<off_t>(kChunk, image.size - at)), bytes);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), at), static_cast<ssize_t>(bytes.size()));
  }
  const timespec times[2] = {lastWrite, lastWrite};
  ASSERT_EQ(::futimens(fd, times), 0);
  ::close(fd);
}

// Whether the file holds exactly the image, with its last-write time.
testing::AssertionResult HoldsImage(const fs::path& path, const Image& image, timespec lastWrite) {
  struct stat facts {};
  if (::stat(path.c_str(), &facts) != 0) return testing::AssertionFailure() << path << " is missing";
  if (facts.st_size != image.size) {
    return testing::AssertionFailure() << path << " holds " << facts.st_size << " bytes, not " << image.size;
  }
  if (facts.st_mtim.tv_sec != lastWrite.tv_sec || facts.st_mtim.tv_nsec != lastWrite.tv_nsec) {
    return testing::AssertionFailure() << path << " has another last-write time";
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string expected;
  std::string seen(kChunk, '\0');
  for (off_t at = 0; at < image.size; at += static_cast<off_t>(expected.size())) {
    ImageBytes(image, at, static_cast<size_t>(std::min<off_t>(kChunk, image.size - at)), expected);
    if (::pread(fd, seen.data(), expected.size(), at) != static_cast<ssize_t>(expected.size()) ||
        std::memcmp(seen.data(), expected.data(), expected.size()) != 0) {
      ::close(fd);
      return testing::AssertionFailure() << path << " differs in the MiB at " << at;
    }
  }
  ::close(fd);
  return testing::AssertionSuccess();
}

std::set<std::string> TemporariesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(std::string(".") + kFileName + ".rud-", 0) == 0) names.insert(name);
  }
  return names;
}

std::optional<fs::path> ProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
    if (!candidate.parent_path().empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

std::vector<std::string> LinesOf(const std::string& out) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find("\r\n", start);
    if (end == std::string::npos) end = out.size();
    lines.push_back(out.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Holds runs back until all of them have been started: each waits in a
// shell for the end of a pipe that closes when the gate opens.
class StartGate {
 public:
  StartGate() {
    if (::pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
  }
  ~StartGate() {
    Open();
    if (ends_[0] >= 0) ::close(ends_[0]);
  }
  StartGate(const StartGate&) = delete;
  StartGate& operator=(const StartGate&) = delete;

  int WaitingEnd() const { return ends_[0]; }
  void Open() {
    if (ends_[1] >= 0) ::close(ends_[1]);
    ends_[1] = -1;
  }
  // The command that waits on descriptor 3 and then runs its arguments.
  static std::vector<std::string> Wrapper() {
    return {"/bin/sh", "-c", "read -r _ <&3; exec 3<&- \"$@\"", "sh"};
  }

 private:
  int ends_[2];
};

// A run of the native program started here, its standard output and error
// going to files, standard input at its end.
class RudProcess {
 public:
  RudProcess(const World& world, const std::vector<std::string>& arguments, const fs::path& outputStem,
             const std::vector<std::string>& wrapper = {}, const StartGate* gate = nullptr)
      : out_(outputStem.string() + ".out"), err_(outputStem.string() + ".err") {
    std::vector<std::string> argv = gate != nullptr ? StartGate::Wrapper() : std::vector<std::string>{};
    argv.insert(argv.end(), wrapper.begin(), wrapper.end());
    argv.push_back(RUD_NATIVE_BINARY);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      if (text.rfind("LC_", 0) == 0 || text.rfind("LANG=", 0) == 0 || text.rfind("RUD_", 0) == 0) continue;
      environment.push_back(text);
    }
    environment.push_back("LANG=C.UTF-8");
    environment.push_back("RUD_DRIVE_C=" + world.DriveC().string());
    for (const auto& [name, value] : world.ServerEnvironment()) environment.push_back(name + "=" + value);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (gate != nullptr) posix_spawn_file_actions_adddup2(&actions, gate->WaitingEnd(), 3);
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    std::vector<char*> env;
    for (std::string& entry : environment) env.push_back(entry.data());
    env.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~RudProcess() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  RudProcess(const RudProcess&) = delete;
  RudProcess& operator=(const RudProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool Ended() {
    if (!ended_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    return ended_;
  }
  // Waits for the end, killing the run when `limit` passes first; the exit
  // code, 128 + the signal for a run ended by one.
  int Wait(seconds limit = seconds(120)) {
    const auto deadline = steady_clock::now() + limit;
    while (!Ended()) {
      if (steady_clock::now() > deadline) {
        ADD_FAILURE() << "run " << pid_ << " did not end in time";
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        ended_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }
  // Stops the run where it is; false when it had already ended.
  bool Stop() {
    if (::kill(pid_, SIGSTOP) != 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WUNTRACED) != pid_) return false;
    if (WIFSTOPPED(status)) return true;
    status_ = status;
    ended_ = true;
    return false;
  }
  void Continue() { ::kill(pid_, SIGCONT); }
  void Kill() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
    ended_ = true;
  }
  std::string Out() const { return ReadFileBytes(out_); }
  std::string Err() const { return ReadFileBytes(err_); }

 private:
  fs::path out_;
  fs::path err_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
};

// Reports the temporary copies created in a folder.
class TemporaryWatch {
 public:
  explicit TemporaryWatch(const fs::path& folder) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
  }
  ~TemporaryWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  TemporaryWatch(const TemporaryWatch&) = delete;
  TemporaryWatch& operator=(const TemporaryWatch&) = delete;

  // The name of the next temporary created, or nothing when the run ends
  // first or a minute passes.
  std::optional<std::string> Next(RudProcess& run) {
    const auto deadline = steady_clock::now() + seconds(60);
    alignas(inotify_event) char buffer[4096];
    while (steady_clock::now() < deadline) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 10) > 0) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
          const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
          const std::string name = event->len > 0 ? event->name : "";
          if (name.rfind(std::string(".") + kFileName + ".rud-", 0) == 0) return name;
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
      } else if (run.Ended()) {
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

 private:
  int fd_ = -1;
};

class LoadTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::optional<std::string> reason = LegUnavailable(Leg::Native)) GTEST_SKIP() << *reason;
    world_.emplace(Leg::Native);
  }

  const World& world() const { return *world_; }
  fs::path ServerCopy() const { return world().ServerFolder() / "Garh/NM/bin" / kFileName; }
  fs::path LocalFolder() const { return world().DriveC() / "ZARVEK/Garh/NM/bin"; }
  fs::path LocalCopy() const { return LocalFolder() / kFileName; }
  std::vector<std::string> Arguments() const { return {world().ServerArgument(), kProgram}; }
  fs::path Output(const std::string& name) const { return world().folder() / name; }

  // Starts a run against an installed program and stops it while its
  // temporary copy is still short of the whole server copy; the temporary's
  // name, or nothing when the run got past that point first (it is then
  // let go to its end).
  std::optional<std::string> StartAndStopMidCopy(std::optional<RudProcess>& run, off_t serverSize,
                                                  const std::string& outputName) {
    TemporaryWatch watch(LocalFolder());
    run.emplace(world(), Arguments(), Output(outputName));
    EXPECT_GT(run->pid(), 0);
    std::optional<std::string> temporary = watch.Next(*run);
    if (!temporary || !run->Stop()) return std::nullopt;
    struct stat facts {};
    if (::stat((LocalFolder() / *temporary).c_str(), &facts) == 0 && facts.st_size < serverSize) {
      return temporary;
    }
    run->Continue();
    run->Wait();
    return std::nullopt;
  }

  std::optional<World> world_;
};

const timespec kOldLocalTime{1700000000, 100};
const timespec kServerTime{1700100000, 200};
const timespec kNewerServerTime{1700200000, 300};

TEST_F(LoadTest, SixtyFourRunsAtOnceInstallOneWholeCopy) {
  constexpr int kRuns = 64;
  const Image server = ProgramImage(u"12.6.0.4", off_t{4} << 20, 4);
  const Image old = ProgramImage(u"12.6.0.3", 100000, 3);
  WriteImage(ServerCopy(), server, kServerTime);
  WriteImage(LocalCopy(), old, kOldLocalTime);
  // Left by a run killed earlier: all 64 runs find it at once.
  ASSERT_NO_FATAL_FAILURE(WriteImage(LocalFolder() / ".XNMPAYRO.exe.rud-Dead01", old, kOldLocalTime));

  StartGate gate;
  std::vector<std::unique_ptr<RudProcess>> runs;
  for (int n = 0; n < kRuns; ++n) {
    runs.push_back(std::make_unique<RudProcess>(world(), Arguments(), Output("run-" + std::to_string(n)),
                                                std::vector<std::string>{}, &gate));
    ASSERT_GT(runs.back()->pid(), 0);
  }
  gate.Open();
  int updated = 0;
  int unchanged = 0;
  int failed = 0;
  for (int n = 0; n < kRuns; ++n) {
    SCOPED_TRACE("run " + std::to_string(n));
    const int exitCode = runs[n]->Wait();
    const std::vector<std::string> lines = LinesOf(runs[n]->Out());
    EXPECT_EQ(runs[n]->Err(), "");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], kBanner);
    if (exitCode == 0) {
      ASSERT_GE(lines.size(), 4u);
      EXPECT_EQ(lines[3], "Ruta del archivo: Garh\\NM\\bin\\");
      if (lines.size() == 4) {
        ++unchanged;
      } else {
        ASSERT_EQ(lines.size(), 7u) << runs[n]->Out();
        EXPECT_EQ(lines[4].rfind("Nueva Versión: 12.6.0.4 ", 0), 0u) << lines[4];
        EXPECT_EQ(lines[5].rfind("Antigua Versión: 12.6.0.", 0), 0u) << lines[5];
        EXPECT_EQ(lines[6], kSuccess);
        ++updated;
      }
    } else {
      // A failed copy is reported as such, on the report line, and nothing else.
      EXPECT_EQ(exitCode, 1);
      EXPECT_EQ(lines.back().rfind(kCopyFailure, 0), 0u) << runs[n]->Out();
      ++failed;
    }
  }
  RecordProperty("updated", updated);
  RecordProperty("unchanged", unchanged);
  RecordProperty("failed", failed);
  EXPECT_GE(updated, 1);
  // Each run writes a temporary of its own, so runs never get in each
  // other's way: a failure here is one run's cleanup taking another's live
  // copy.
  EXPECT_EQ(failed, 0);
  EXPECT_TRUE(HoldsImage(LocalCopy(), server, kServerTime));
  EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{kFileName});
}

TEST_F(LoadTest, ARunKilledMidCopyLeavesAWholeCopyAndTheNextRunCleansUp) {
  const Image server = ProgramImage(u"12.6.0.4", kLargeBytes, 4);
  const Image old = ProgramImage(u"12.6.0.3", 100000, 3);
  WriteImage(ServerCopy(), server, kServerTime);

  std::optional<std::string> leftover;
  int attempt = 0;
  for (; attempt < kAttempts && !leftover; ++attempt) {
    WriteImage(LocalCopy(), old, kOldLocalTime);
    std::optional<RudProcess> run;
    leftover = StartAndStopMidCopy(run, server.size, "killed");
    if (leftover) run->Kill();
  }
  RecordProperty("attempts", attempt);
  ASSERT_TRUE(leftover) << "no run could be caught in the middle of its copy";

  // The old copy is there, whole; the killed run's temporary is beside it.
  EXPECT_TRUE(HoldsImage(LocalCopy(), old, kOldLocalTime));
  EXPECT_EQ(TemporariesIn(LocalFolder()), std::set<std::string>{*leftover});

  // The next run is not disturbed by it, installs the server copy and takes
  // the leftover away.
  RudProcess next(world(), Arguments(), Output("next"));
  EXPECT_EQ(next.Wait(), 0) << next.Out();
  EXPECT_EQ(LinesOf(next.Out()).back(), kSuccess);
  EXPECT_TRUE(HoldsImage(LocalCopy(), server, kServerTime));
  EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{kFileName});
}

TEST_F(LoadTest, AServerCopyReplacedDuringTheCopyGivesOneWholeVersion) {
  const Image server = ProgramImage(u"12.6.0.4", kLargeBytes, 4);
  const Image newer = ProgramImage(u"12.6.0.5", off_t{1} << 20, 5);
  const Image old = ProgramImage(u"12.6.0.3", 100000, 3);

  bool caught = false;
  int attempt = 0;
  for (; attempt < kAttempts && !caught; ++attempt) {
    WriteImage(ServerCopy(), server, kServerTime);
    WriteImage(LocalCopy(), old, kOldLocalTime);
    std::optional<RudProcess> run;
    if (!StartAndStopMidCopy(run, server.size, "replaced")) continue;
    caught = true;
    // The publisher's way: a new file beside it, renamed over it.
    const fs::path staged = ServerCopy().parent_path() / "XNMPAYRO.new";
    WriteImage(staged, newer, kNewerServerTime);
    fs::rename(staged, ServerCopy());
    run->Continue();
    // The run copies the version it opened, whole, with its time.
    EXPECT_EQ(run->Wait(), 0) << run->Out();
    EXPECT_EQ(LinesOf(run->Out()).back(), kSuccess);
    EXPECT_TRUE(HoldsImage(LocalCopy(), server, kServerTime));
    EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{kFileName});
  }
  RecordProperty("attempts", attempt);
  ASSERT_TRUE(caught) << "no run could be caught in the middle of its copy";

  // The next run finds the replacement newer and installs it.
  RudProcess next(world(), Arguments(), Output("next"));
  EXPECT_EQ(next.Wait(), 0) << next.Out();
  EXPECT_TRUE(HoldsImage(LocalCopy(), newer, kNewerServerTime));
}

TEST_F(LoadTest, AServerCopyRewrittenInPlaceDuringTheCopyIsRefused) {
  const Image server = ProgramImage(u"12.6.0.4", kLargeBytes, 4);
  const Image old = ProgramImage(u"12.6.0.3", 100000, 3);

  bool caught = false;
  int attempt = 0;
  for (; attempt < kAttempts && !caught; ++attempt) {
    WriteImage(ServerCopy(), server, kServerTime);
    WriteImage(LocalCopy(), old, kOldLocalTime);
    std::optional<RudProcess> run;
    if (!StartAndStopMidCopy(run, server.size, "rewritten")) continue;
    caught = true;
    // A publisher writing into the same file: its size stays, its time moves.
    const int fd = ::open(ServerCopy().c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string patch(4096, 'w');
    EXPECT_EQ(::pwrite(fd, patch.data(), patch.size(), server.size - 4096), 4096);
    ::close(fd);
    run->Continue();
    EXPECT_EQ(run->Wait(), 1);
    EXPECT_EQ(LinesOf(run->Out()).back(),
              std::string(kCopyFailure) + "Violación al compartir o archivo en uso")
        << run->Out();
    EXPECT_EQ(run->Err(), "");
    EXPECT_TRUE(HoldsImage(LocalCopy(), old, kOldLocalTime));
    EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{kFileName});
  }
  RecordProperty("attempts", attempt);
  ASSERT_TRUE(caught) << "no run could be caught in the middle of its copy";
}

// The same copy cut off by the share: its server stops in the middle.
class LoadOverSmb : public LoadTest {
 protected:
  void SetUp() override {
    if (std::optional<std::string> reason = SettingUnavailable(Setting(Leg::Native, Served::OverSmb))) {
      GTEST_SKIP() << *reason;
    }
    world_.emplace(Leg::Native, Served::OverSmb);
  }
};

TEST_F(LoadOverSmb, AServerStoppedMidCopyLeavesTheOldCopyAndTheNextRunUpdates) {
  const Image server = ProgramImage(u"12.6.0.4", off_t{64} << 20, 4);
  const Image old = ProgramImage(u"12.6.0.3", 100000, 3);
  WriteImage(ServerCopy(), server, kServerTime);

  bool caught = false;
  int attempt = 0;
  for (; attempt < kAttempts && !caught; ++attempt) {
    WriteImage(LocalCopy(), old, kOldLocalTime);
    std::optional<RudProcess> run;
    if (!StartAndStopMidCopy(run, server.size, "cut")) continue;
    caught = true;
    PrivateSmbServer()->Down(1);
    run->Continue();
    EXPECT_EQ(run->Wait(), 1);
    // The share's read fails with EIO, which is Windows' "device not functioning" (31).
    EXPECT_EQ(LinesOf(run->Out()).back(), std::string(kCopyFailure) + "Error al Copiar31") << run->Out();
    EXPECT_EQ(run->Err(), "");
    EXPECT_TRUE(HoldsImage(LocalCopy(), old, kOldLocalTime));
    EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{kFileName});
    PrivateSmbServer()->Up(1);
  }
  RecordProperty("attempts", attempt);
  ASSERT_TRUE(caught) << "no run could be caught in the middle of its copy";

  RudProcess next(world(), Arguments(), Output("next"));
  EXPECT_EQ(next.Wait(), 0) << next.Out();
  EXPECT_TRUE(HoldsImage(LocalCopy(), server, kServerTime));
}

// Memcheck over the plain binary on the run's main roads: every byte it
// reads is defined, and nothing is lost at the end.
TEST_F(LoadTest, MemcheckFindsNoErrorAndNoLeak) {
  const std::optional<fs::path> valgrind = ProgramOnPath("valgrind");
  if (!valgrind) GTEST_SKIP() << "valgrind is not installed";
  const std::vector<std::string> memcheck = {
      valgrind->string(), "--quiet", "--error-exitcode=99", "--leak-check=full",
      "--errors-for-leak-kinds=definite,indirect"};
  const Image server = ProgramImage(u"12.6.0.4", 200000, 4);
  const Image old = ProgramImage(u"12.6.0.3", 100000, 3);

  struct Case {
    const char* name;
    bool withArguments;
    std::function<void()> arrange;
    int exitCode;
    std::string lastLine;
  } cases[] = {
      {"no arguments", false, [] {}, 1, "Exception: Error en la ruta de actualización."},
      {"update", true,
       [&] {
         WriteImage(ServerCopy(), server, kServerTime);
         WriteImage(LocalCopy(), old, kOldLocalTime);
       },
       0, kSuccess},
      {"no update", true,
       [&] {
         WriteImage(ServerCopy(), server, kServerTime);
         WriteImage(LocalCopy(), old, kNewerServerTime);
       },
       0, "Ruta del archivo: Garh\\NM\\bin\\"},
      {"copy failure", true,
       [&] {
         WriteImage(ServerCopy(), server, kServerTime);
         WriteImage(LocalCopy(), old, kOldLocalTime);
         fs::permissions(LocalCopy(), fs::perms::owner_read | fs::perms::group_read);
       },
       1, std::string(kCopyFailure) + "Acceso denegado"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove_all(world().DriveC() / "ZARVEK", ignored);
    fs::remove_all(world().ServerFolder(), ignored);
    c.arrange();
    RudProcess run(world(), c.withArguments ? Arguments() : std::vector<std::string>{},
            Output(std::string("memcheck-") + c.name), memcheck);
    EXPECT_EQ(run.Wait(), c.exitCode) << run.Err();
    EXPECT_EQ(run.Err(), "");
    EXPECT_EQ(LinesOf(run.Out()).back(), c.lastLine) << run.Out();
  }
}

}  // namespace
