// Faults the process can't survive as an error object: an access violation,
// a division by zero, an illegal instruction and the like. Once installed,
// such a fault ends the process through the given report, with its kind and
// the address of the faulting code; never a platform dialog or a core dump.
// Writing to a pipe nobody reads, or past a file-size limit, becomes an
// ordinary failed write instead of ending the process.
#pragma once

enum class FatalFault {
  DivisionByZero,
  ArrayBounds,
  StackOverflow,
  FloatOverflow,
  FloatUnderflow,
  InvalidFloatOperation,
  IntegerOverflow,
  AccessViolation,  // also a bus error, a page that can't be read in
  Other,            // an illegal or privileged instruction, an abort...
};

// Must not return. On POSIX it runs in a signal handler: async-signal-safe
// work only.
using FatalFaultReport = void (*)(FatalFault fault, const void* address);

void InstallFaultHandlers(FatalFaultReport report);
