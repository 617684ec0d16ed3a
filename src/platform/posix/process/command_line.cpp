// The arguments of this process: argv, as the caller handed it to the
// program. The C library gives every initialiser of the program main's own
// argc and argv; they are kept here before main runs, so nothing depends on
// /proc being mounted.
#include "platform/posix/process/command_line.h"

#include "platform/arguments.h"
#include "platform/posix/text/code_pages.h"
#include "platform/posix/text/utf.h"
#include "platform/posix/win32_api.h"

namespace posix {
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

bool NeedsQuotes(const std::u16string& argument) {
  if (argument.empty()) return true;
  for (char16_t c : argument) {
    if (c >= 1 && c <= 32) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ArgumentsOfThisProcess() {
  std::vector<std::string> arguments;
  for (int n = 0; n < keptCount && keptArguments != nullptr && keptArguments[n] != nullptr; ++n) {
    arguments.emplace_back(keptArguments[n]);
  }
  return arguments;
}

std::u16string CommandLineOf(const std::vector<std::string>& arguments) {
  std::u16string line;
  for (const std::string& argument : arguments) {
    std::u16string text;
    for (char16_t c : Utf16FromUtf8(argument)) {
      if (c != u'"') text += c;
    }
    if (!line.empty()) line += u' ';
    if (NeedsQuotes(text)) {
      line += u'"' + text + u'"';
    } else {
      line += text;
    }
  }
  return line;
}

}  // namespace posix

bool ListedArgument(int n, std::u16string& argument) {
  argument.clear();
  if (n >= 1 && n < posix::keptCount && posix::keptArguments != nullptr &&
      posix::keptArguments[n] != nullptr) {
    argument = posix::TextOfUserCodePage(posix::keptArguments[n]);
  }
  return true;
}

LPWSTR GetCommandLineW() {
  // Built once; the pointer stays valid for the life of the process.
  static std::u16string line = posix::CommandLineOf(posix::ArgumentsOfThisProcess());
  return line.data();
}
