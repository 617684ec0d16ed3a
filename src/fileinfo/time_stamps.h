// What the file system says of a path: its attribute data and three file
// times, following a link on request; and a file time as a local date-time
// value (days since 1899-12-30, the fraction the time of day).
#pragma once

#include <cstdint>

#include "console/text.h"
#include "platform/win32.h"

// Laid out as the find-data record; the lookup defines the first six fields.
using FileDateTimeInfo = WIN32_FIND_DATAW;

// Records the operating-system version once at start-up.
void RecordOperatingSystemVersion();

// True when the path (or, followed, its link's target) exists; info is written
// only then. Raises EDirectoryNotFoundException or EOSError while following a
// link whose target can't be opened or whose volume can't be examined.
bool GetFileDateTimeInfo(const Text& path, bool followLink, FileDateTimeInfo& info);

double LastWriteLocalTime(const FileDateTimeInfo& info);
double LocalDateTimeFromFileTime(const FILETIME& time);
double ComposeDateTimeValue(uint16_t year, uint16_t month, uint16_t day, uint16_t hour,
                            uint16_t minute, uint16_t second, uint16_t millisecond);
bool EncodeDayNumber(uint16_t year, uint16_t month, uint16_t day, double& days);
bool EncodeDayFraction(uint16_t hour, uint16_t minute, uint16_t second, uint16_t millisecond,
                       double& fraction);
