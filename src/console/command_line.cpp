#include "console/command_line.h"

#include "platform/arguments.h"
#include "platform/win32.h"

namespace {

constexpr char16_t kQuote = u'"';

// Codes 1 to 32; the end (0) is not a separator.
bool IsSeparator(char16_t c) { return c >= 1 && c <= 32; }

// The character at p, or the end when p has run off the text.
char16_t At(TextView line, size_t p) { return p < line.size() ? line[p] : u'\0'; }

struct Scan {
  Text argument;
  size_t stop;
};

// One argument from p: skip the gap, then collect up to a separator or the end.
Scan ScanArgument(TextView line, size_t p) {
  for (;;) {
    if (IsSeparator(At(line, p))) {
      ++p;
    } else if (At(line, p) == kQuote && At(line, p + 1) == kQuote) {
      p += 2;  // an empty pair in the gap is blank space, not an empty argument
    } else {
      break;
    }
  }
  Text argument;
  while (At(line, p) > 32) {
    if (At(line, p) == kQuote) {
      ++p;
      while (At(line, p) != kQuote && At(line, p) != u'\0') argument += line[p++];
      if (At(line, p) == kQuote) ++p;
    } else {
      argument += line[p++];
    }
  }
  return {argument, p};
}

}  // namespace

Text ArgumentOfCommandLine(TextView commandLine, int n) {
  // A negative n would walk the whole line and find nothing.
  if (n < 0) return Text();
  size_t p = 0;
  for (int k = n;; --k) {
    Scan scan = ScanArgument(commandLine, p);
    p = scan.stop;
    if (k == 0) return scan.argument;
    if (scan.argument.empty()) return Text();  // the command line is used up
  }
}

Text GetArgument(int n) {
  if (n < 0) return Text();
  if (n == 0) {
    constexpr DWORD kRoom = 261;
    char16_t path[kRoom] = {};
    DWORD length = GetModuleFileNameW(nullptr, W(path), kRoom);
    if (length > kRoom) length = kRoom;
    TextView reported(path, length);
    // A path cut to the room ends in the terminating null on newer systems.
    return Text(reported.substr(0, reported.find(u'\0')));
  }
  // Where the caller handed over a list, its entries are the arguments as
  // given: an empty one stays in its place and none is split again.
  Text listed;
  const char16_t* commandLine = nullptr;
  if (ListedArgumentOrCommandLine(n, listed, commandLine)) return listed;
  return ArgumentOfCommandLine(commandLine == nullptr ? TextView() : TextView(commandLine), n);
}
