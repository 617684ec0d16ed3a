#include "console/shown_text.h"

#include <algorithm>
#include <string>

#include "console/console_stream.h"

namespace {

struct CodePointRange {
  char32_t first;
  char32_t last;
};

// The controls (Cc), format characters (Cf) and the line and paragraph
// separators (Zl, Zp) of Unicode 15.1, in order.
constexpr CodePointRange kNeverShown[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},
    {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

// The spaces (Zs) of Unicode 15.1 and the fillers that show as blanks.
constexpr CodePointRange kBlanks[] = {
    {0x0020, 0x0020}, {0x00A0, 0x00A0}, {0x115F, 0x1160}, {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x2800, 0x2800},
    {0x3000, 0x3000}, {0x3164, 0x3164}, {0xFFA0, 0xFFA0},
};

bool IsIn(const CodePointRange* first, const CodePointRange* last, char32_t c) {
  const auto* range =
      std::lower_bound(first, last, c, [](const CodePointRange& r, char32_t v) { return r.last < v; });
  return range != last && range->first <= c;
}

bool HoldsControlByte(const std::string& bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char b) {
    const auto byte = static_cast<unsigned char>(b);
    return byte < 32 || byte == 127;
  });
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Calls `visit` with each character of the text (a surrogate pair is one)
// and its code point.
template <class Visit>
void ForEachCharacter(TextView text, Visit visit) {
  for (size_t at = 0; at < text.size();) {
    const bool pair =
        at + 1 < text.size() && IsHighSurrogate(text[at]) && IsLowSurrogate(text[at + 1]);
    const TextView character = text.substr(at, pair ? 2 : 1);
    at += character.size();
    visit(character, pair ? 0x10000 + ((char32_t{character[0]} - 0xD800) << 10) +
                                (character[1] - 0xDC00)
                          : char32_t{character[0]});
  }
}

}  // namespace

Text ShownText(uint32_t codePage, TextView text) {
  Text shown;
  shown.reserve(text.size());
  ForEachCharacter(text, [&](TextView character, char32_t codePoint) {
    const bool hidden = IsIn(std::begin(kNeverShown), std::end(kNeverShown), codePoint) ||
                        HoldsControlByte(EncodedText(codePage, character));
    shown += hidden ? TextView(u"?") : character;
  });
  return shown;
}

Text WithoutBlankRuns(TextView text) {
  Text kept;
  kept.reserve(text.size());
  bool afterBlank = false;
  ForEachCharacter(text, [&](TextView character, char32_t codePoint) {
    const bool blank = IsIn(std::begin(kBlanks), std::end(kBlanks), codePoint);
    if (!blank || !afterBlank) kept += character;
    afterBlank = blank;
  });
  return kept;
}
