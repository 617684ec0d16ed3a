#include "console/text.h"

#include <string>

Text DecimalText(int64_t number) { return AsciiText(std::to_string(number)); }

Text AsciiText(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }
