// What a stop signal must not leave behind, and the steps it must not cut in
// two (platform/stop_signals.h).
#pragma once

#include <signal.h>

namespace posix {

// Holds back the stop signals for the object's life; one that comes
// meanwhile is handled when the object goes away. For the steps between
// which a file must be known to the stop handler: creating a temporary and
// recording it, putting it in place and forgetting it.
class StopSignalsHeld {
 public:
  StopSignalsHeld();
  ~StopSignalsHeld();
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t saved_;  // the signal mask before
};

// The temporary file (by its name in `folder`, an open folder descriptor)
// that a stop signal removes; one at a time. A name that does not fit is
// not recorded: the next copy's clean-up removes that temporary.
void RemoveOnStop(int folder, const char* name);
void ForgetOnStop();

}  // namespace posix
