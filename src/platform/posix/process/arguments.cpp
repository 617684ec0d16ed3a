// The arguments of this process: argv, as the caller handed it to the
// program. The C library gives every initialiser of the program main's own
// argc and argv; they are kept here before main runs, so nothing depends on
// /proc being mounted.
#include "platform/arguments.h"

#include "platform/posix/text/code_pages.h"

namespace {

int keptCount = 0;
char** keptArguments = nullptr;

void KeepArguments(int count, char** arguments, char**) {
  keptCount = count;
  keptArguments = arguments;
}

// Run by the C library with main's parameters, before any constructor of
// the program's own.
[[gnu::used, gnu::section(".init_array")]] void (*keepArguments)(int, char**, char**) =
    KeepArguments;

}  // namespace

bool ListedArgumentOrCommandLine(int n, std::u16string& argument, const char16_t*&) {
  argument.clear();
  if (n >= 1 && n < keptCount && keptArguments != nullptr && keptArguments[n] != nullptr) {
    argument = posix::TextOfUserCodePage(keptArguments[n]);
  }
  return true;
}
