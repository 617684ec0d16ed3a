#include "fileinfo/date_time_text.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;
// Day numbers of 0001-01-01 and 9999-12-31; values outside have no date.
constexpr int64_t kFirstDay = -693593;
constexpr int64_t kLastDay = 2958465;
// 1899-12-30 (day 0) counted from 1970-01-01.
constexpr int64_t kDayZeroFromUnixEpoch = -25569;

struct DateTimeParts {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  int weekday = 0;  // 0 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool timeIsZero() const { return hour == 0 && minute == 0 && second == 0 && millisecond == 0; }
};

// The value in whole milliseconds: the whole days give the date (negative
// values count their fraction back from the day), the rest the time of day.
bool SplitValue(double value, DateTimeParts& parts) {
  if (!std::isfinite(value) || std::fabs(value) > 4.0e6) return false;
  const int64_t total = std::llround(value * static_cast<double>(kMillisecondsPerDay));
  const int64_t days = total / kMillisecondsPerDay;
  int64_t time = total % kMillisecondsPerDay;
  if (time < 0) time = -time;
  if (days < kFirstDay || days > kLastDay) return false;

  // The Gregorian calendar throughout (days from civil, reversed).
  int64_t z = days + kDayZeroFromUnixEpoch + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  parts.year = static_cast<uint16_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  parts.month = static_cast<uint16_t>(month);
  parts.day = static_cast<uint16_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  parts.weekday = static_cast<int>(((days % 7) + 13) % 7);  // day 0 was a Saturday

  parts.hour = static_cast<int>(time / 3600000);
  parts.minute = static_cast<int>(time / 60000 % 60);
  parts.second = static_cast<int>(time / 1000 % 60);
  parts.millisecond = static_cast<int>(time % 1000);
  return true;
}

bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool StartsWithNoCase(TextView pattern, size_t at, TextView word) {
  if (pattern.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Upper(pattern[at + i]) != Upper(word[i])) return false;
  }
  return true;
}

bool IsMarkerAt(TextView pattern, size_t at) {
  return StartsWithNoCase(pattern, at, u"ampm") || StartsWithNoCase(pattern, at, u"am/pm") ||
         StartsWithNoCase(pattern, at, u"a/p");
}

// Whether an hour element ending at `from` belongs to a 12-hour clock: the
// first a outside quotes before the next h must begin an AM/PM marker.
bool MarkerFollows(TextView pattern, size_t from) {
  char16_t quote = 0;
  for (size_t i = from; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'h' || c == u'H') return false;  // quoted or not
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == u'\'' || c == u'"') {
      quote = c;
      continue;
    }
    if (c == u'a' || c == u'A') return IsMarkerAt(pattern, i);
  }
  return false;
}

void AppendNumber(Text& out, int number, size_t digits) {
  Text text = DecimalText(number);
  if (text.size() < digits) out.append(digits - text.size(), u'0');
  out += text;
}

// Writes the second-level patterns (the short date and the long time): each
// starts in the 24-hour form with no letter read. Elements that would call up
// a further pattern write nothing; of c only its blank is left.
class PatternWriter {
 public:
  PatternWriter(const DateTimeParts& parts, const TLocaleFormatSettings& settings, Text& out)
      : parts_(parts), settings_(settings), out_(out) {}

  void Write(TextView pattern) {
    twelveHour_ = false;
    lastLetter_ = 0;
    size_t i = 0;
    while (i < pattern.size()) i = WriteElement(pattern, i);
  }

 private:
  size_t WriteElement(TextView pattern, size_t i) {
    const char16_t c = pattern[i];
    if (c == u'\'' || c == u'"') {
      size_t end = pattern.find(c, i + 1);
      if (end == TextView::npos) end = pattern.size();
      out_.append(pattern.substr(i + 1, end - i - 1));
      return end == pattern.size() ? end : end + 1;
    }
    if (!IsLetter(c)) {
      out_ += c == u'/' ? settings_.DateSeparator : c == u':' ? settings_.TimeSeparator : c;
      return i + 1;
    }
    const char16_t letter = Upper(c);
    if (letter == u'A') {
      if (size_t length = WriteMarker(pattern, i)) {
        twelveHour_ = true;
        lastLetter_ = letter;
        return i + length;
      }
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    lastLetter_ = WriteRun(pattern, i, letter, run);
    return i + run;
  }

  // ampm, am/pm or a/p at `i`: the length written over, or 0.
  size_t WriteMarker(TextView pattern, size_t i) {
    const bool beforeNoon = parts_.hour < 12;
    if (StartsWithNoCase(pattern, i, u"ampm")) {
      out_ += beforeNoon ? settings_.TimeAMString : settings_.TimePMString;
      return 4;
    }
    if (StartsWithNoCase(pattern, i, u"am/pm")) {
      out_.append(pattern.substr(beforeNoon ? i : i + 3, 2));
      return 5;
    }
    if (StartsWithNoCase(pattern, i, u"a/p")) {
      out_ += pattern[beforeNoon ? i : i + 2];
      return 3;
    }
    return 0;
  }

  // Writes a run of one letter and returns the letter it counts as for a
  // following m.
  char16_t WriteRun(TextView pattern, size_t i, char16_t letter, size_t run) {
    switch (letter) {
      case u'D':
        if (run <= 2) AppendNumber(out_, parts_.day, run);
        else if (run == 3) out_ += settings_.ShortDayNames[parts_.weekday];
        else if (run == 4) out_ += settings_.LongDayNames[parts_.weekday];
        break;
      case u'M':
        if (run <= 2 && lastLetter_ == u'H') {
          AppendNumber(out_, parts_.minute, run);
          return u'N';
        }
        if (run <= 2) AppendNumber(out_, parts_.month, run);
        else if (run == 3) out_ += settings_.ShortMonthNames[parts_.month - 1];
        else out_ += settings_.LongMonthNames[parts_.month - 1];
        break;
      case u'Y':
        if (run <= 2) AppendNumber(out_, parts_.year % 100, 2);
        else AppendNumber(out_, parts_.year, 4);
        break;
      case u'H': {
        twelveHour_ = twelveHour_ || MarkerFollows(pattern, i + run);
        int hour = parts_.hour;
        if (twelveHour_) hour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(out_, hour, run >= 2 ? 2 : 1);
        break;
      }
      case u'N': AppendNumber(out_, parts_.minute, run >= 2 ? 2 : 1); break;
      case u'S': AppendNumber(out_, parts_.second, run >= 2 ? 2 : 1); break;
      case u'Z': AppendNumber(out_, parts_.millisecond, run >= 3 ? 3 : run); break;
      case u'C':
        if (!parts_.timeIsZero()) out_ += u' ';
        break;
      case u'T': break;
      case u'G': WriteEra(u"gg"); break;
      case u'E': WriteEra(run <= 2 ? u"yy" : u"yyyy"); break;
      case u'A':
        if (run == 3) out_ += settings_.ShortDayNames[parts_.weekday];
        else if (run == 4) out_ += settings_.LongDayNames[parts_.weekday];
        else out_.append(pattern.substr(i, run));
        break;
      default: out_.append(pattern.substr(i, run)); break;
    }
    return letter;
  }

  void WriteEra(const char16_t* picture) {
    if (settings_.EraText) out_ += settings_.EraText(parts_.year, parts_.month, parts_.day, picture);
  }

  const DateTimeParts& parts_;
  const TLocaleFormatSettings& settings_;
  Text& out_;
  bool twelveHour_ = false;
  char16_t lastLetter_ = 0;
};

}  // namespace

Text DateTimeText(double value, const TLocaleFormatSettings& settings) {
  DateTimeParts parts;
  if (!SplitValue(value, parts)) return Text();
  Text out;
  PatternWriter writer(parts, settings, out);
  writer.Write(settings.ShortDateFormat);
  if (!parts.timeIsZero()) {
    out += u' ';
    writer.Write(settings.LongTimeFormat);
  }
  return out;
}

Text DateTimeText(double value) { return DateTimeText(value, LocaleFormatSettings); }
