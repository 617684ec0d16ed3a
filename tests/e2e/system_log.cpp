#include "e2e/system_log.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

#include "e2e/smb_server.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// syslog_receiver.sh with its arguments; its exit code and what it printed.
int Script(const std::string& arguments, std::string& output) {
  const fs::path script = fs::path(RUD_SOURCE_DIR) / "tests" / "e2e" / "syslog_receiver.sh";
  FILE* pipe = popen(("bash '" + script.string() + "' " + arguments + " 2>&1 </dev/null").c_str(), "r");
  for (char buffer[512]; pipe != nullptr && fgets(buffer, sizeof buffer, pipe) != nullptr;) output += buffer;
  const int status = pipe != nullptr ? pclose(pipe) : -1;
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

sockaddr_un AddressOf(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// A datagram to a socket, at once or not at all.
bool SendTo(const fs::path& path, const std::string& datagram) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  const sockaddr_un address = AddressOf(path);
  const bool sent = sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                           sizeof address) >= 0;
  close(fd);
  return sent;
}

struct Receiver {
  TempFolder state;
  std::optional<SystemLog> log;
  std::string whyNot;
  int status;

  // The namespace holds the mounts there are when it is made, and this
  // machine's mounts do not propagate: the SMB share's mount comes first.
  Receiver() : status((PrivateSmbServer(), Script("start '" + state.Path().string() + "' " +
                                                      std::to_string(getpid()), whyNot))) {
    if (status == 0) log.emplace(state.Path());
  }
  ~Receiver() {
    std::string ignored;
    Script("stop '" + state.Path().string() + "'", ignored);
  }
};

std::unique_ptr<Receiver> receiver;

class StopSystemLog : public testing::Environment {
 public:
  void TearDown() override { receiver.reset(); }
};

[[maybe_unused]] testing::Environment* const stopSystemLog =
    testing::AddGlobalTestEnvironment(new StopSystemLog);

}  // namespace

void SystemLog::Use(LogReceiver receiver) {
  fs::remove(state_ / "log");
  if (receiver == LogReceiver::None) return;
  const fs::path target = state_ / (receiver == LogReceiver::Full ? "full.sock" : "rsyslog.sock");
  if (!fs::exists(target)) {
    // Bound, filled, and never read for the rest of the test program.
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    const sockaddr_un address = AddressOf(target);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    for (int queued = 0; SendTo(target, "<14>filler: x");) ASSERT_LT(++queued, 100000);
  }
  fs::create_symlink(target, state_ / "log");
}

std::vector<std::string> SystemLog::Enter() const {
  // The keeper's root too: in a chroot, entering a mount namespace would
  // otherwise leave the program at that namespace's own root.
  const std::string keeper = "/proc/" + std::to_string(std::stoi(ReadFileBytes(state_ / "namespace.pid")));
  return {"--mount=" + keeper + "/ns/mnt", "--root=" + keeper + "/root", "--wd=" + fs::current_path().string()};
}

std::vector<std::string> SystemLog::Take() {
  // rsyslogd writes records in the order they came: once a mark sent now
  // is in the file, so is every record before it.
  const std::string mark = "user.notice rudmark" + std::to_string(++marks_) + ": .\n";
  EXPECT_TRUE(SendTo(state_ / "rsyslog.sock", "<13>" + mark.substr(12, mark.size() - 13)));
  std::string text;
  size_t end = std::string::npos;
  for (int tries = 0; tries < 200 && end == std::string::npos; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(tries == 0 ? 0 : 25));
    text = ReadFileBytes(state_ / "messages");
    end = text.find(mark, taken_);
  }
  EXPECT_NE(end, std::string::npos) << "rsyslogd did not write the mark";
  if (end == std::string::npos) return {};
  std::vector<std::string> records;
  std::istringstream lines(text.substr(taken_, end - taken_));
  for (std::string line; std::getline(lines, line);) {
    // "user.<severity> rud[<pid>]: <text>"
    const size_t tag = line.find(" rud[");
    const size_t message = line.find("]: ", tag);
    const bool rud = line.starts_with("user.") && message != std::string::npos &&
                     line.find_first_not_of("0123456789", tag + 5) == message;
    records.push_back(rud ? line.substr(0, tag + 1) + line.substr(message + 3) : "not rud's: " + line);
  }
  taken_ = end + mark.size();
  return records;
}

SystemLog* PrivateSystemLog() {
  if (!receiver) receiver = std::make_unique<Receiver>();
  return receiver->log ? &*receiver->log : nullptr;
}

std::optional<std::string> SystemLogUnavailable() {
  if (PrivateSystemLog() != nullptr) return std::nullopt;
  // A machine that could run it must: that it did not start is a failure.
  if (receiver->status != 77) ADD_FAILURE() << receiver->whyNot;
  return receiver->whyNot;
}
