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

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (installedReport != nullptr) installedReport(FaultOf(record->ExceptionCode), record->ExceptionAddress);
  ExitProcess(1);  // the report does not return; this is the backstop
}

}  // namespace

void InstallFaultHandlers(FatalFaultReport report) {
  installedReport = report;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Room for the report on the stack that has just overflowed.
  ULONG guarantee = 32 * 1024;
  SetThreadStackGuarantee(&guarantee);
  SetUnhandledExceptionFilter(OnUnhandledException);
}
