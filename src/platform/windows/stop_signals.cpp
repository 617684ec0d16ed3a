// Ctrl+C and the console's close end a Windows console program as the system
// does it; the program takes no part.
#include "platform/stop_signals.h"

void InstallStopHandlers(StopCleanup) {}
