// The version strings of an executable and its last-write time as text.
#pragma once

#include "console/text.h"

struct TEXEVersionData {
  Text CompanyName;
  Text FileDescription;
  Text FileVersion;
  Text InternalName;
  Text LegalCopyright;
  Text LegalTrademarks;
  Text OriginalFileName;
  Text ProductName;
  Text ProductVersion;
  Text Comments;
  Text PrivateBuild;
  Text SpecialBuild;
  Text DateModified;
};

// Raises EOSError when the version resource can't be read.
TEXEVersionData GetEXEVersionData(const Text& FileName);

// The twelve version strings of the resource's first translation, without
// DateModified; raises as GetEXEVersionData does.
TEXEVersionData ReadVersionStrings(const Text& FileName);
