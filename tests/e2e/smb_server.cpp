#include "e2e/smb_server.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const fs::path kScript = fs::path(RUD_SOURCE_DIR) / "tests" / "e2e" / "smb_servers.sh";

int RunScript(const std::string& arguments, std::string* output = nullptr) {
  const std::string command = "bash '" + kScript.string() + "' " + arguments + " 2>&1 </dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("can't start " + kScript.string());
  char buffer[512];
  std::string text;
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int status = pclose(pipe);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Servers {
  TempFolder state;
  std::optional<SmbServer> server;
  std::string whyNot;
  bool failed = false;  // the machine allows the servers, yet they did not start

  Servers() {
    const std::string start = "start '" + state.Path().string() + "' " + std::to_string(getpid());
    const int status = RunScript(start, &whyNot);
    if (status == 0) server.emplace(state.Path());
    failed = status != 0 && status != 77;
  }
  // Unmounted before the state folder goes: its removal must not walk the share.
  ~Servers() { RunScript("stop '" + state.Path().string() + "'"); }
};

std::unique_ptr<Servers> servers;

Servers& Started() {
  if (!servers) servers = std::make_unique<Servers>();
  return *servers;
}

class StopSmbServers : public testing::Environment {
 public:
  void TearDown() override { servers.reset(); }
};

[[maybe_unused]] testing::Environment* const stopSmbServers =
    testing::AddGlobalTestEnvironment(new StopSmbServers);

}  // namespace

fs::path SmbServer::Share(int server) const { return state_ / (server == 1 ? "upd" : "upd2"); }
fs::path SmbServer::Mount() const { return state_ / "mnt"; }

void SmbServer::Down(int server) const {
  ASSERT_EQ(RunScript("down '" + state_.string() + "' " + std::to_string(server)), 0);
}
void SmbServer::Up(int server) const {
  ASSERT_EQ(RunScript("up '" + state_.string() + "' " + std::to_string(server)), 0);
}

const SmbServer* PrivateSmbServer() {
  const Servers& started = Started();
  return started.server ? &*started.server : nullptr;
}

std::optional<std::string> SmbServerUnavailable() {
  if (PrivateSmbServer() != nullptr) return std::nullopt;
  // A machine that could run them must: that they did not start is a failure.
  if (Started().failed) ADD_FAILURE() << Started().whyNot;
  return Started().whyNot;
}
