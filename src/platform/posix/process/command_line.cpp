#include "platform/posix/process/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/text/utf.h"
#include "platform/posix/win32_api.h"

namespace posix {
namespace {

bool NeedsQuotes(const std::u16string& argument) {
  if (argument.empty()) return true;
  for (char16_t c : argument) {
    if (c >= 1 && c <= 32) return true;
  }
  return false;
}

// argv of this process, from the kernel's copy of it. Read with the plain
// calls: a C++ file stream would set up the stream library's locales first,
// a good part of the program's start-up for nothing.
std::vector<std::string> ArgumentsOfThisProcess() {
  std::string all;
  const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        all.append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        break;
      }
    }
    ::close(fd);
  }
  std::vector<std::string> arguments;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    arguments.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

}  // namespace

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

LPWSTR GetCommandLineW() {
  // Built once; the pointer stays valid for the life of the process.
  static std::u16string line = posix::CommandLineOf(posix::ArgumentsOfThisProcess());
  return line.data();
}
