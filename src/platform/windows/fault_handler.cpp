// Unhandled structured exceptions end the process with a runtime-error line:
// the last-chance filter is ours, and the system's fault and critical-error
// boxes are switched off so no dialog ever waits for a user.
#include "platform/fault_handler.h"

#include <windows.h>

namespace {

FatalFaultReport installedReport = nullptr;

FatalFault FaultOf(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_GUARD_PAGE:
      return FatalFault::AccessViolation;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      return FatalFault::DivisionByZero;
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
      return FatalFault::ArrayBounds;
    case EXCEPTION_STACK_OVERFLOW:
      return FatalFault::StackOverflow;
    case EXCEPTION_INT_OVERFLOW:
      return FatalFault::IntegerOverflow;
    case EXCEPTION_FLT_OVERFLOW:
      return FatalFault::FloatOverflow;
    case EXCEPTION_FLT_UNDERFLOW:
      return FatalFault::FloatUnderflow;
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK:
      return FatalFault::InvalidFloatOperation;
    default:
      return FatalFault::Other;
  }
}

// A stack overflow leaves the faulting thread a few kilobytes of stack, less
// than exception dispatch and the report need on x86_64 (the guarantee of
// SetThreadStackGuarantee is not honoured everywhere). The report of an
// overflow therefore runs on a stack of its own, taken before dispatch goes
// any deeper. It never returns, so nothing is unwound across the switch.
alignas(16) unsigned char overflowStack[64 * 1024];
const void* overflowAddress = nullptr;

[[noreturn]] void ReportOverflow() {
  installedReport(FatalFault::StackOverflow, overflowAddress);
  ExitProcess(1);  // the report does not return; this is the backstop
}

[[noreturn]] void RunOnOverflowStack(void (*report)()) {
  void* top = overflowStack + sizeof(overflowStack);
#if defined(__x86_64__)
  // The callee's 32 bytes of home space lie above the return address.
  __asm__ volatile("mov %0, %%rsp\n\tsub $32, %%rsp\n\tcall *%1\n\tud2"
                   :
                   : "a"(top), "d"(report)
                   : "memory");
#elif defined(__i386__)
  __asm__ volatile("mov %0, %%esp\n\tcall *%1\n\tud2" : : "a"(top), "d"(report) : "memory");
#else
  (void)top;
  report();
#endif
  __builtin_unreachable();
}

LONG WINAPI OnStackOverflow(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode != EXCEPTION_STACK_OVERFLOW || installedReport == nullptr) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  overflowAddress = record->ExceptionAddress;
  RunOnOverflowStack(ReportOverflow);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (installedReport != nullptr) installedReport(FaultOf(record->ExceptionCode), record->ExceptionAddress);
  ExitProcess(1);  // the report does not return; this is the backstop
}

}  // namespace

void InstallFaultHandlers(FatalFaultReport report) {
  installedReport = report;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Room for the dispatch of an overflow on the stack that has just
  // overflowed; the report itself moves to a stack of its own.
  ULONG guarantee = 32 * 1024;
  SetThreadStackGuarantee(&guarantee);
  AddVectoredExceptionHandler(1, OnStackOverflow);
  SetUnhandledExceptionFilter(OnUnhandledException);
}
