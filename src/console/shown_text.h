// Text from outside the program (a version string read from the update
// share) as the console may show it.
#pragma once

#include <cstdint>

#include "console/text.h"

// The text with a question mark in place of every character that could move
// the cursor, ring, erase, reorder or split what a person reads: a control,
// a format character (the bidirectional marks and isolates among them), a
// line or paragraph separator, and any character whose bytes in the code
// page hold a control byte (below 32, or 127), as the OEM code pages give
// for some symbols. A surrogate pair is one character and one question mark.
Text ShownText(uint32_t codePage, TextView text);

// The text with each run of blanks (spaces of any width, and the fillers
// that show as blanks) cut to its first. A version string is shown so: a
// long run would wrap the console's line and put text of the share's own at
// the start of a line of ours.
Text WithoutBlankRuns(TextView text);
