// Folder tests and the creation of a missing folder chain.
#pragma once

#include "console/text.h"

// True if the folder exists when the call ends; false if a creation failed.
// Raises EInOutError for an empty path.
bool CreateFolderChain(const Text& path);
bool IsExistingFolder(const Text& path);
bool CreateOneFolder(const Text& path);
Text FolderPartOf(const Text& path);
Text WithoutTrailingBackslash(const Text& path);
