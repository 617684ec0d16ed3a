// Windows hands a program one command line; the program splits it itself.
#include "platform/arguments.h"

bool ListedArgument(int, std::u16string&) { return false; }
