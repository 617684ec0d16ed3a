// The process command line as Windows would hand it over, rebuilt from argv.
// The program itself takes its arguments from the list (platform/arguments.h);
// the line is there for a caller that asks for the whole of it.
#pragma once

#include <string>
#include <vector>

namespace posix {

// argv of this process, as the C library handed it to the program.
std::vector<std::string> ArgumentsOfThisProcess();

// One line from the arguments (UTF-8, as the host hands them over), laid out
// so that the program's own splitting gives them back: arguments are joined
// by one blank, and one that is empty or holds a blank or control character
// (codes 1 to 32) is put in quotes. A double quote can't be part of an
// argument under that splitting, so it is left out: the rest of the argument
// and every argument after it still come through unchanged. An empty
// argument shows as a quote pair, which the splitting drops, as it would for
// the same line typed on Windows.
std::u16string CommandLineOf(const std::vector<std::string>& arguments);

}  // namespace posix
