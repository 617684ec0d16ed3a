// The program: start-up, one run, the end of the process.
#include "app/run_driver.h"
#include "console/console_stream.h"
#include "console/process_end.h"
#include "platform/fault_handler.h"

int main() {
  // From here on a fault the run can't survive ends with a runtime-error line.
  InstallFaultHandlers(ReportFatalFault);
  InstallTerminateHandler();
  StartConsoleStreams();
  try {
    // >>> Start-up of the locale and of the operating-system version goes
    // >>> here, in this order, before the run:
    // >>>   LoadLocaleFormatSettings();
    // >>>   RecordOperatingSystemVersion();
    RunDriver();
  } catch (...) {
    ReportEscapedFailure();
  }
  EndProcess();
}
