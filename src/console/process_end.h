// The end of the process: the exit code, what is written out at the end, the
// report on standard error for an error that escapes the run driver, and the
// "Runtime error" line for a failure that can't become an error object.
//
// Runtime-error numbers by kind of failure:
//   200  division by zero (integer or floating point)
//   201  array bounds exceeded (a platform bounds check)
//   202  stack overflow
//   203  out of memory
//   205  floating-point overflow
//   206  floating-point underflow
//   207  invalid floating-point operation (and the other floating-point faults)
//   215  integer overflow
//   216  access violation, a bus error, a page that can't be read in
//   217  any other fault: an illegal or privileged instruction, an abort, a
//        C++ exception that is none of the program's error classes, a
//        terminated run
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/exceptions.h"
#include "console/text.h"
#include "platform/fault_handler.h"

namespace runtime_error_number {
inline constexpr int32_t kDivisionByZero = 200;
inline constexpr int32_t kArrayBounds = 201;
inline constexpr int32_t kStackOverflow = 202;
inline constexpr int32_t kOutOfMemory = 203;
inline constexpr int32_t kFloatOverflow = 205;
inline constexpr int32_t kFloatUnderflow = 206;
inline constexpr int32_t kInvalidFloatOperation = 207;
inline constexpr int32_t kIntegerOverflow = 215;
inline constexpr int32_t kAccessViolation = 216;
inline constexpr int32_t kOtherFault = 217;
}  // namespace runtime_error_number

// 0 at start; the run driver sets 1 in its failure report.
extern int32_t ExitCode;

// Writes out pending standard output (a failure is not reported), leaves the
// standard handles open and ends the process with ExitCode.
[[noreturn]] void EndProcess();

// Reports an error that escaped the run driver on standard error, in the OEM
// code page, and ends the process with exit code 1. `address` is the code
// that raised it. The report's text goes to UncaughtErrorListener too, when
// one is set (the program's system log record, app/system_log.h).
[[noreturn]] void ReportUncaughtError(const Exception& error, const void* address);
extern void (*UncaughtErrorListener)(TextView report);

// Writes the "Runtime error" line straight to the standard-output handle and
// ends the process with `number` as exit code. The line shows the address
// as ShownCodeAddress gives it.
// Allocates nothing, so a fault handler may call it; its one lock is that
// of ShownCodeAddress.
[[noreturn]] void ReportRuntimeError(int32_t number, const void* address);

// The runtime-error number of a fatal fault's kind.
int32_t RuntimeErrorNumber(FatalFault fault);

// What the fault handlers report to: the runtime-error line for the fault.
[[noreturn]] void ReportFatalFault(FatalFault fault, const void* address);

// For a catch (...) at the top of the process: the program's own errors go to
// ReportUncaughtError, exhausted memory and every other C++ exception end as
// a runtime error at the address where they reached the top.
[[noreturn]] void ReportEscapedFailure();

// What a stop signal leaves the caller: standard output's pending bytes
// are written out. Async-signal-safe: it allocates nothing and takes no
// lock.
void WriteOutBeforeStop();

// A run that C++ terminates (an exception thrown while another unwinds, one
// leaving a noexcept function) ends with runtime error 217 instead of the
// library's abort.
void InstallTerminateHandler();

// The 29-character line "Runtime error nnn at hhhhhhhh" and CR LF: the number
// right-aligned in three columns, the address in uppercase hexadecimal over
// eight zeros; both widen when they don't fit.
struct RuntimeErrorLineBytes {
  char bytes[64];
  size_t length;  // CR LF included
};
RuntimeErrorLineBytes RuntimeErrorLine(int32_t number, uintptr_t address);

// The escaped-error report's text: "Exception <class> in module <module> at
// <address>." CR LF, then the message, a "." unless it is empty or already
// ends in one, CR LF; cut at 1024 characters.
Text EscapedErrorReport(TextView className, TextView moduleName, uintptr_t moduleOffset,
                        TextView message);

// Where a code address lies: the file name of the module holding it and the
// address relative to its load address; for an address no module holds, the
// program's own file name and the address less 0x1000.
struct CodeLocation {
  Text ModuleName;
  uintptr_t Offset;
};
CodeLocation LocateCode(const void* address);

// The code address a "Runtime error" line shows: the address itself where
// the platform shows it as it is (platform/code_address.h: on 32-bit
// Windows), else its offset within the module that holds it; an address no
// module holds as it is. Allocates nothing: it serves the report of a fault,
// and asks the platform only what it can answer at such a time.
uintptr_t ShownCodeAddress(const void* address);
