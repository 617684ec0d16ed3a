#include "platform/posix/text/strftime_picture.h"

#include <cstring>

namespace posix {
namespace {

// Composite conversions expand into formats that may use others; a locale
// whose formats refer to each other in a ring stops here.
constexpr int kMaxExpansionDepth = 4;

bool IsFlag(char c) { return c == '-' || c == '_' || c == '0' || c == '^' || c == '#'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHourField(const FormatToken& token) {
  return token.isField && std::strchr("HkIl", token.conversion) != nullptr;
}

void AppendLiteral(std::vector<FormatToken>& tokens, std::string_view text) {
  if (text.empty()) return;
  if (tokens.empty() || tokens.back().isField) tokens.push_back(FormatToken{});
  tokens.back().literal.append(text);
}

void Expand(std::string_view format, const LocaleFormats& formats, int depth,
            std::vector<FormatToken>& tokens) {
  size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%') {
      size_t next = format.find('%', i);
      if (next == std::string_view::npos) next = format.size();
      AppendLiteral(tokens, format.substr(i, next - i));
      i = next;
      continue;
    }
    ++i;
    char padding = 0;
    while (i < format.size() && IsFlag(format[i])) {
      if (format[i] != '^' && format[i] != '#') padding = format[i];
      ++i;
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;  // field width
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;   // alternative forms
    if (i >= format.size()) break;
    const char conversion = format[i++];
    std::string_view composite;
    switch (conversion) {
      case 'D': composite = "%m/%d/%y"; break;
      case 'F': composite = "%Y-%m-%d"; break;
      case 'T': composite = "%H:%M:%S"; break;
      case 'R': composite = "%H:%M"; break;
      case 'r':
        composite = formats.timeAmPm.empty() ? std::string_view("%I:%M:%S %p")
                                             : std::string_view(formats.timeAmPm);
        break;
      case 'x': composite = formats.date; break;
      case 'X': composite = formats.time; break;
      case 'n': AppendLiteral(tokens, "\n"); continue;
      case 't': AppendLiteral(tokens, "\t"); continue;
      case '%': AppendLiteral(tokens, "%"); continue;
      default: {
        FormatToken field;
        field.isField = true;
        field.conversion = conversion;
        field.padding = padding;
        tokens.push_back(field);
        continue;
      }
    }
    if (depth < kMaxExpansionDepth) Expand(composite, formats, depth + 1, tokens);
  }
}

// The picture of one field: zero-padded numbers take the doubled letter.
std::string_view FieldPicture(const FormatToken& field) {
  const bool unpadded = field.padding == '-' || field.padding == '_';
  switch (field.conversion) {
    case 'd': return unpadded ? "d" : "dd";
    case 'e': return field.padding == '0' ? "dd" : "d";
    case 'm': return unpadded ? "M" : "MM";
    case 'b':
    case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'y':
    case 'g': return "yy";
    case 'Y':
    case 'G': return "yyyy";
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'H': return unpadded ? "H" : "HH";
    case 'k': return field.padding == '0' ? "HH" : "H";
    case 'I': return unpadded ? "h" : "hh";
    case 'l': return field.padding == '0' ? "hh" : "h";
    case 'M': return unpadded ? "m" : "mm";
    case 'S': return unpadded ? "s" : "ss";
    case 'p':
    case 'P': return "tt";
    default: return "";
  }
}

// Literal text in a picture: letters would read as pictures, so they go in
// quotes; a quote goes in quotes too, written twice.
void AppendQuotedLiteral(std::string& picture, std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    const bool needsQuotes = IsAsciiLetter(c) || c == '\'';
    if (needsQuotes != quoted) picture += '\'';
    quoted = needsQuotes;
    if (c == '\'') picture += "''";
    else picture += c;
  }
  if (quoted) picture += '\'';
}

}  // namespace

std::vector<FormatToken> ExpandFormat(std::string_view format, const LocaleFormats& formats) {
  std::vector<FormatToken> tokens;
  Expand(format, formats, 0, tokens);
  return tokens;
}

std::string PictureOf(const std::vector<FormatToken>& tokens) {
  std::string picture;
  bool anyField = false;
  for (const FormatToken& token : tokens) {
    if (!token.isField) {
      AppendQuotedLiteral(picture, token.literal);
      continue;
    }
    std::string_view field = FieldPicture(token);
    anyField = anyField || !field.empty();
    picture += field;
  }
  return anyField ? picture : std::string();
}

std::optional<std::string> DateSeparatorOf(const std::vector<FormatToken>& tokens) {
  for (size_t i = 0; i + 2 < tokens.size(); ++i) {
    if (!tokens[i].isField) continue;
    if (!tokens[i + 1].isField && tokens[i + 2].isField) return tokens[i + 1].literal;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<ClockFacts> ClockFactsOf(const std::vector<FormatToken>& tokens) {
  bool markerSeen = false;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const FormatToken& token = tokens[i];
    if (token.isField && (token.conversion == 'p' || token.conversion == 'P')) markerSeen = true;
    if (!IsHourField(token)) continue;
    ClockFacts facts;
    facts.twelveHour = token.conversion == 'I' || token.conversion == 'l';
    const bool zeroByDefault = token.conversion == 'H' || token.conversion == 'I';
    facts.leadingZero = token.padding == '0' || (zeroByDefault && token.padding == 0);
    facts.markerFirst = markerSeen;
    if (i + 2 < tokens.size() && !tokens[i + 1].isField && tokens[i + 2].isField) {
      facts.separated = true;
      facts.separator = tokens[i + 1].literal;
    }
    return facts;
  }
  return std::nullopt;
}

}  // namespace posix
