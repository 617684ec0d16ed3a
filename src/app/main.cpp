// The program: start-up, one run, the end of the process.
#include "app/run_driver.h"
#include "app/system_log.h"
#include "console/console_stream.h"
#include "console/process_end.h"
#include "fileinfo/locale_settings.h"
#include "fileinfo/time_stamps.h"
#include "platform/fault_handler.h"
#include "platform/link_trust.h"
#include "platform/stop_signals.h"

int main() {
  // From here on a fault the run can't survive ends with a runtime-error line.
  InstallFaultHandlers(ReportFatalFault);
  InstallTerminateHandler();
  // A stop request (Ctrl+C, a kill) still leaves the caller the lines
  // written so far.
  InstallStopHandlers(WriteOutBeforeStop);
  // Before any file is touched: no link a standard user made leads the run's
  // writes elsewhere.
  RefuseUntrustedLinks();
  // A report on standard error is also the run's record in the system's log.
  UncaughtErrorListener = LogEscapedReport;
  StartConsoleStreams();
  try {
    // The date texts follow the user's locale, and the link handling asks
    // which operating system it runs on: both are read once, before the run.
    LoadLocaleFormatSettings();
    RecordOperatingSystemVersion();
    RunDriver();
  } catch (...) {
    ReportEscapedFailure();
  }
  EndProcess();
}
