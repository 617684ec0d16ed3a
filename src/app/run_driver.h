// The run: the banner, the two arguments validated and normalised into the
// install paths, the three progress lines and the update step, all under the
// one failure handler that reports an error, sets exit code 1 and waits for
// the user to press Enter.
#pragma once

#include "app/install_paths.h"
#include "console/text.h"

// Removes every character of code 32 or less from both ends.
Text Trim(TextView text);

// Changes "a" to "z" into "A" to "Z"; every other character stays.
Text UpperCase(TextView text);

// The install paths from the two arguments as they came from the command
// line; raises Exception when either is empty once trimmed.
InstallPaths DeriveInstallPaths(TextView serverArgument, TextView programArgument);

// One run of the program. Returns when the run is over, with ExitCode 0 or,
// after a failure report, 1; an error raised inside the report itself
// escapes.
void RunDriver();
