// The program's arguments, split from the process command line.
//
// The splitting has no escapes: blanks and control characters (codes 1 to 32)
// separate arguments, a double quote opens or closes a stretch in which
// separators are ordinary characters, quotes never become part of an argument,
// and a pair of quotes standing between arguments is dropped.
#pragma once

#include "console/text.h"

// The n-th argument of a command line, where argument 0 is the program as it
// was invoked. A character 0 ends the command line. Empty text when the
// command line has fewer arguments or n is negative.
Text ArgumentOfCommandLine(TextView commandLine, int n);

// The n-th argument of this process: n = 0 is the full path of the program's
// own executable file; n >= 1 is the n-th entry of the list where the
// platform hands the arguments over as a list (platform/arguments.h), else
// the n-th argument of GetCommandLineW, read afresh on every call; empty text
// for a missing argument or a negative n.
Text GetArgument(int n);
