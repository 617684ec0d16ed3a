// Following a symbolic link or other reparse point to the file it names.
#pragma once

#include "console/text.h"

// The drive-letter path of the link's target; false when the target can't be
// opened or named. Raises EDirectoryNotFoundException for a dangling link and
// EOSError when the link's volume can't be examined.
bool ResolveLinkTarget(const Text& path, Text& target);

// Whether the path names an existing file (not a folder). A link counts as
// itself unless followLink asks for its target.
bool IsExistingFile(const Text& path, bool followLink);

// Whether the volume holding the path keeps links. Raises as ResolveLinkTarget.
bool VolumeSupportsLinks(const Text& path);

// C: of C:\x, \\host\share of \\host\share\x; otherwise empty.
Text DrivePartOf(const Text& path);

// The path with one backslash at its end; the empty text becomes \.
Text WithTrailingBackslash(const Text& path);
