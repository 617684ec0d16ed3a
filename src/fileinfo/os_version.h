// The operating-system version recorded at start-up, for the link handling:
// following a link needs the calls that came with version 6.0.
#pragma once

// Major 6 with any minor number, or a later major number; false when the
// version was never recorded or could not be read.
bool IsVersion6OrLater();
