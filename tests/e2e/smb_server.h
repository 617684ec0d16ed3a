// The private SMB servers of tests/e2e/smb_servers.sh: server 1 at
// 127.0.0.1 shares "upd" and the DFS namespace "dfs", whose folder "suite"
// links to the "upd" share of server 2 at 127.0.0.2; the FUSE client shows
// \\host\share as <mount>/host/share. They start the first time a test asks
// for them and stop when the test program ends, however it ends.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class SmbServer {
 public:
  // The host folder the "upd" share of server 1 or 2 serves.
  std::filesystem::path Share(int server) const;
  // The client's mount: the root that \\host\share paths are found under.
  std::filesystem::path Mount() const;
  // Stops server 1 or 2 at once, connections and all, or starts it again.
  void Down(int server) const;
  void Up(int server) const;

  explicit SmbServer(std::filesystem::path state) : state_(std::move(state)) {}

 private:
  std::filesystem::path state_;
};

// The servers, started on first use; nothing where this machine can't run
// them, and then SmbServerUnavailable says why.
const SmbServer* PrivateSmbServer();
std::optional<std::string> SmbServerUnavailable();
