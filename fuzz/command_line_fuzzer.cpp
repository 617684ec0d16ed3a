// Any command line split into arguments by the program's own splitter.
//
// The first byte picks the input's form: bit 0 set, the rest is UTF-16 code
// units, two bytes each, little-endian; bit 0 clear, one byte per code unit,
// ASCII as it stands (so quotes, blanks and control characters are a byte
// away), and every byte from 0x80 up one of a few units that sit at the
// edges of the character classes.
//
// Checked: no result holds a quote or a NUL; an argument that comes back
// empty is followed only by empty ones; a negative index gives nothing;
// nothing after a NUL counts; and every argument agrees with a splitter
// written here in another shape (one pass over the characters, a state per
// position).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/command_line.h"

namespace {

// Long enough for every rule to meet every other, short enough for the
// argument-by-argument calls to stay quick.
constexpr size_t kMaxUnits = 1024;

constexpr char16_t kEdgeUnits[] = {
    0,      1,      9,      10,     13,     31,     32,     33,      //
    u'"',   u'\\',  0x7F,   0xA0,   0xD800, 0xDC00, 0xFFFD, 0xFFFF,  //
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// All the arguments at once, in a single walk: outside an argument a
// separator is skipped and an empty quote pair is skipped whole; inside one,
// a quote switches between plain and quoted and is never kept, and a
// separator outside quotes ends it. A line that ends inside an argument ends
// that argument, empty or not (only a lone quote at the end leaves it empty).
std::vector<Text> SplitAll(TextView line) {
  enum class State { Gap, Plain, Quoted } state = State::Gap;
  std::vector<Text> arguments;
  Text current;
  const size_t end = line.find(u'\0');
  const size_t length = end == TextView::npos ? line.size() : end;
  for (size_t p = 0; p < length; ++p) {
    const char16_t c = line[p];
    const bool separator = c >= 1 && c <= 32;
    switch (state) {
      case State::Gap:
        if (separator) break;
        if (c == u'"') {
          if (p + 1 < length && line[p + 1] == u'"') {
            ++p;
          } else {
            state = State::Quoted;
          }
        } else {
          current += c;
          state = State::Plain;
        }
        break;
      case State::Plain:
        if (separator) {
          arguments.push_back(current);
          current.clear();
          state = State::Gap;
        } else if (c == u'"') {
          state = State::Quoted;
        } else {
          current += c;
        }
        break;
      case State::Quoted:
        if (c == u'"') {
          state = State::Plain;
        } else {
          current += c;
        }
        break;
    }
  }
  if (state != State::Gap) arguments.push_back(current);
  return arguments;
}

void CheckSplitting(TextView line) {
  const std::vector<Text> expected = SplitAll(line);
  const size_t end = line.find(u'\0');
  const TextView beforeEnd = end == TextView::npos ? line : line.substr(0, end);
  bool usedUp = false;
  for (size_t n = 0; n <= expected.size() + 1; ++n) {
    const Text argument = ArgumentOfCommandLine(line, static_cast<int>(n));
    Check(argument.find(u'"') == Text::npos);
    Check(argument.find(u'\0') == Text::npos);
    Check(argument == (n < expected.size() ? expected[n] : Text()));
    // Once the line is used up, every later argument is missing.
    if (usedUp) Check(argument.empty());
    if (argument.empty()) usedUp = true;
    Check(ArgumentOfCommandLine(beforeEnd, static_cast<int>(n)) == argument);
  }
  // Only the last argument can be empty: a lone quote at the very end.
  for (size_t n = 0; n + 1 < expected.size(); ++n) Check(!expected[n].empty());
  Check(ArgumentOfCommandLine(line, -1).empty());
  Check(ArgumentOfCommandLine(line, -2147483647 - 1).empty());
  Check(ArgumentOfCommandLine(line, 2147483647).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t form = data[0];
  ++data;
  --size;
  Text line;
  if (form & 1) {
    for (size_t i = 0; i + 1 < size && line.size() < kMaxUnits; i += 2) {
      line += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
  } else {
    for (size_t i = 0; i < size && line.size() < kMaxUnits; ++i) {
      line += data[i] < 0x80 ? static_cast<char16_t>(data[i]) : kEdgeUnits[data[i] & 0x0F];
    }
  }
  CheckSplitting(line);
  return 0;
}
