// The C library gives a locale's date and time formats as strftime formats;
// Windows gives pictures ("dd/MM/yyyy", "HH:mm:ss"). These turn the one into
// the other and pick out the facts Windows lists separately (separators,
// 12- or 24-hour clock, leading zero, where the AM/PM marker stands).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace posix {

struct FormatToken {
  bool isField = false;
  char conversion = 0;   // the strftime conversion character of a field
  char padding = 0;      // an explicit '-', '_' or '0' flag, else 0
  std::string literal;   // the text of a literal token
};

// A locale's own formats, which %x, %X and %r stand for.
struct LocaleFormats {
  std::string date;      // D_FMT
  std::string time;      // T_FMT
  std::string timeAmPm;  // T_FMT_AMPM
};

// The format as fields and literal text, with the composite conversions (%D,
// %F, %T, %R, %r, %x, %X) spelled out and %n, %t, %% turned into text.
std::vector<FormatToken> ExpandFormat(std::string_view format, const LocaleFormats& formats);

// The Windows picture (UTF-8) of the tokens; letters of literal text are
// quoted, conversions without a picture counterpart are left out. Empty when
// no field has one.
std::string PictureOf(const std::vector<FormatToken>& tokens);

// The literal text between the first field and the field after it; nothing
// when two fields touch or there are fewer than two.
std::optional<std::string> DateSeparatorOf(const std::vector<FormatToken>& tokens);

// Facts of the first hour field of a time format; empty without one.
struct ClockFacts {
  bool twelveHour = false;
  bool leadingZero = false;
  bool markerFirst = false;  // an AM/PM field before the hour
  bool separated = false;    // literal text between the hour and the next field
  std::string separator;
};
std::optional<ClockFacts> ClockFactsOf(const std::vector<FormatToken>& tokens);

}  // namespace posix
