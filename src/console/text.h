// The program's text: UTF-16 on every target, built from ASCII literals and
// decimal numbers where a message needs one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

// The number in signed decimal, "-1" for -1.
Text DecimalText(int64_t number);

// An ASCII text widened unit by unit.
Text AsciiText(std::string_view ascii);
