// Where a program of the suite lives: the run driver derives these from its two
// arguments, the update step forms its three paths from them.
#pragma once

#include "console/text.h"

// The local install root; fixed, not configurable.
inline constexpr char16_t LocalRoot[] = u"C:\\ZARVEK\\";

struct InstallPaths {
  Text ServerPath;     // argument 1 trimmed, ending in a backslash
  Text ProgramFile;    // argument 2 trimmed, cut to 8 characters, plus ".exe"
  Text ModuleCode;     // characters 2 and 3 of ProgramFile, as typed
  Text ProgramFolder;  // relative folder of the executable, ending in a backslash
};
