// SIGINT, SIGTERM, SIGHUP and SIGQUIT: remove the temporary of a copy in
// progress (the destination is only ever replaced by a rename, so the old
// file is whole), let the program write out what it holds, then die of the
// same signal with its default action.
#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "platform/posix/process/stop_signals.h"

namespace posix {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

StopCleanup installedCleanup = nullptr;

// Written only with the stop signals held back, so the handler never sees a
// half-written name.
int temporaryFolder = -1;
char temporaryName[256] = {};

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kStopSignals) sigaddset(&set, signal);
  return set;
}

void OnStopSignal(int signal) {
  if (temporaryName[0] != '\0') unlinkat(temporaryFolder, temporaryName, 0);
  if (installedCleanup != nullptr) installedCleanup();

  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigaction(signal, &fallback, nullptr);
  // Blocked while its handler runs: raised now, it is delivered, with its
  // default action, as soon as it is let through.
  raise(signal);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  _exit(128 + signal);  // the backstop: the default action of each of them ends the process
}

}  // namespace

StopSignalsHeld::StopSignalsHeld() {
  const sigset_t set = StopSignalSet();
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

StopSignalsHeld::~StopSignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

void RemoveOnStop(int folder, const char* name) {
  StopSignalsHeld held;
  const size_t length = std::strlen(name);
  if (length >= sizeof temporaryName) {
    temporaryName[0] = '\0';
    return;
  }
  temporaryFolder = folder;
  std::memcpy(temporaryName, name, length + 1);
}

void ForgetOnStop() {
  StopSignalsHeld held;
  temporaryName[0] = '\0';
  temporaryFolder = -1;
}

}  // namespace posix

void InstallStopHandlers(StopCleanup cleanup) {
  posix::installedCleanup = cleanup;
  struct sigaction action = {};
  action.sa_handler = posix::OnStopSignal;
  action.sa_mask = posix::StopSignalSet();
  for (int signal : posix::kStopSignals) {
    // A signal the caller chose to ignore (nohup, a background job's
    // SIGINT) stays ignored.
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}
