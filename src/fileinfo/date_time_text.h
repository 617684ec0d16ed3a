// A local date-time value as text in the user's locale.
#pragma once

#include "console/text.h"
#include "fileinfo/locale_settings.h"

Text DateTimeText(double value);
Text DateTimeText(double value, const TLocaleFormatSettings& settings);
