// The Spanish reason for a failed copy, from the platform's last-error code.
#pragma once

#include <cstdint>

#include "console/text.h"

Text CopyErrorText(int32_t code);
