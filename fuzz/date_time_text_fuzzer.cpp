// Any date-time value rendered with any patterns and settings.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fileinfo/date_time_text.h"

namespace {

// Splits the input into the pieces of a settings record.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <class T>
  T Take() {
    T value{};
    size_t n = sizeof value < size_ ? sizeof value : size_;
    std::memcpy(&value, data_, n);
    data_ += n;
    size_ -= n;
    return value;
  }

  // A text of up to 255 UTF-16 units, or the rest.
  Text TakeText() {
    size_t units = Take<uint8_t>();
    Text text;
    while (units-- > 0 && size_ >= 2) text += Take<char16_t>();
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  TLocaleFormatSettings settings;
  // Mostly file-time-like values, sometimes any double at all.
  const uint8_t kind = input.Take<uint8_t>();
  double value = 0;
  if (kind & 1) value = input.Take<double>();
  else value = input.Take<int32_t>() / 1000.0;
  settings.DateSeparator = input.Take<char16_t>();
  settings.TimeSeparator = input.Take<char16_t>();
  settings.ShortDateFormat = input.TakeText();
  settings.LongTimeFormat = input.TakeText();
  settings.TimeAMString = input.TakeText();
  settings.TimePMString = input.TakeText();
  for (Text& name : settings.ShortMonthNames) name = u"M";
  for (Text& name : settings.LongMonthNames) name = u"Month";
  for (Text& name : settings.ShortDayNames) name = u"D";
  for (Text& name : settings.LongDayNames) name = u"Day";
  if (kind & 2) {
    settings.EraText = [](uint16_t year, uint16_t month, uint16_t day, const Text& picture) {
      if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1) __builtin_trap();
      return picture;
    };
  }
  Text text = DateTimeText(value, settings);
  // No pattern character writes more than the longest name or marker text
  // (or two digits), plus the one blank between date and time.
  size_t widest = 5;
  widest = std::max({widest, settings.TimeAMString.size(), settings.TimePMString.size()});
  if (text.size() > (settings.ShortDateFormat.size() + settings.LongTimeFormat.size()) * widest + 1) {
    __builtin_trap();
  }
  return 0;
}
