// Windows hands a program one command line; the program splits it itself.
#include "platform/arguments.h"

#include <windows.h>

bool ListedArgumentOrCommandLine(int, std::u16string&, const char16_t*& commandLine) {
  commandLine = reinterpret_cast<const char16_t*>(GetCommandLineW());
  return false;
}
