// A request from outside to stop the program: on POSIX the signals that a
// terminal, a shell or a service manager sends (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT). Windows ends a process on Ctrl+C in its own way; nothing is
// installed there.
#pragma once

// Runs in a signal handler: async-signal-safe work only.
using StopCleanup = void (*)();

// From here on a stop request removes the temporary of a copy in progress,
// runs `cleanup` (the program writes out what it holds for its caller), and
// then ends the process as the request would have ended it, so that the
// caller sees the signal (a shell: 128 + its number).
void InstallStopHandlers(StopCleanup cleanup);
