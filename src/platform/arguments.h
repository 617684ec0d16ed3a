// The program's arguments as the platform hands them over. A POSIX process
// gets them as a list (argv), each one exactly as its caller gave it, empty
// ones included; a Windows process gets one command line, which the program
// splits by its own rules (console/command_line.cpp).
#pragma once

#include <string>

// True when the platform hands over a list: `argument` is then the n-th
// entry (n >= 1), decoded from the user's code page, or empty text when the
// list is shorter. False when there is only a command line to split:
// `commandLine` is then that line as GetCommandLineW gives it, read afresh.
bool ListedArgumentOrCommandLine(int n, std::u16string& argument, const char16_t*& commandLine);
