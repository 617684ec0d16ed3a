// The private system log of tests/e2e/syslog_receiver.sh: rsyslogd, and a
// mount namespace whose /dev/log leads where a test points it. Started the
// first time a test asks for it, stopped when the test program ends.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What /dev/log leads to: rsyslogd, nothing, or a socket that is bound but
// never read, its queue full.
enum class LogReceiver { Rsyslog, None, Full };

class SystemLog {
 public:
  explicit SystemLog(std::filesystem::path state) : state_(std::move(state)) {}
  void Use(LogReceiver receiver);
  // The arguments before a program's that start it in the namespace.
  std::vector<std::string> Enter() const;
  // What rsyslogd wrote since the last call: one "user.<severity> <text>"
  // per record of rud (its tag and process ID checked and dropped).
  std::vector<std::string> Take();

 private:
  std::filesystem::path state_;
  int marks_ = 0;
  size_t taken_ = 0;
};

// The log, started on first use; nothing where this machine can't run it,
// and then SystemLogUnavailable says why.
SystemLog* PrivateSystemLog();
std::optional<std::string> SystemLogUnavailable();
