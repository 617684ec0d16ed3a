// A program that faults in its own code, through the same fault handlers and
// report as rud: the end-to-end tests compare its runtime-error line across
// runs, which load it at different addresses.
#include "console/console_stream.h"
#include "console/process_end.h"
#include "platform/fault_handler.h"

namespace {

// Read at run time, so the compiler can't see the null and drop the store.
int* volatile target = nullptr;

[[gnu::noinline]] void StoreThroughNull() { *target = 1; }

}  // namespace

int main() {
  InstallFaultHandlers(ReportFatalFault);
  StartConsoleStreams();
  WriteLine({u"before the fault"});
  StoreThroughNull();
  EndProcess();
}
