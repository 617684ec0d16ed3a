// Fatal signals (a bad memory access, an arithmetic fault, an illegal
// instruction, an abort) end the process with a runtime-error line. The
// handlers run on an alternate stack, so a stack overflow is reported too.
#include "platform/fault_handler.h"

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

FatalFaultReport installedReport = nullptr;
alignas(16) char alternateStack[64 * 1024];

// The lowest address of the installing thread's stack: a fault this close
// to it is the stack running out.
uintptr_t stackLimit = 0;
constexpr uintptr_t kStackLimitWindow = 64 * 1024;

void RecordStackLimit() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* lowest = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &lowest, &size) == 0) {
    stackLimit = reinterpret_cast<uintptr_t>(lowest);
  }
  pthread_attr_destroy(&attributes);
}

bool NearStackLimit(const void* address) {
  uintptr_t at = reinterpret_cast<uintptr_t>(address);
  return stackLimit != 0 && at + kStackLimitWindow >= stackLimit && at < stackLimit + kStackLimitWindow;
}

FatalFault FaultOf(int signal, int code, const void* dataAddress) {
  switch (signal) {
    case SIGSEGV:
      return NearStackLimit(dataAddress) ? FatalFault::StackOverflow : FatalFault::AccessViolation;
    case SIGBUS:
      return FatalFault::AccessViolation;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV:
        case FPE_FLTDIV:
          return FatalFault::DivisionByZero;
        case FPE_INTOVF:
          return FatalFault::IntegerOverflow;
        case FPE_FLTOVF:
          return FatalFault::FloatOverflow;
        case FPE_FLTUND:
          return FatalFault::FloatUnderflow;
        default:
          return FatalFault::InvalidFloatOperation;
      }
    default:
      return FatalFault::Other;
  }
}

// The faulting instruction; for a fault without a context, the signal's own
// address.
const void* CodeAddressOf([[maybe_unused]] const siginfo_t* info, const void* context) {
  [[maybe_unused]] const auto* machine = &static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
  return reinterpret_cast<const void*>(machine->gregs[REG_RIP]);
#elif defined(__i386__)
  return reinterpret_cast<const void*>(machine->gregs[REG_EIP]);
#elif defined(__aarch64__)
  return reinterpret_cast<const void*>(machine->pc);
#else
  return info->si_addr;
#endif
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  const void* address = context != nullptr ? CodeAddressOf(info, context) : info->si_addr;
  if (installedReport != nullptr) installedReport(FaultOf(signal, info->si_code, info->si_addr), address);
  _exit(EXIT_FAILURE);  // the report does not return; this is the backstop
}

}  // namespace

void InstallFaultHandlers(FatalFaultReport report) {
  installedReport = report;
  RecordStackLimit();

  // A fault inside the report itself meets the default action: no core file
  // even then.
  struct rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);

  stack_t stack = {};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  sigaltstack(&stack, nullptr);

  struct sigaction action = {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigfillset(&action.sa_mask);
  for (int signal : kFatalSignals) sigaction(signal, &action, nullptr);

  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);
}
