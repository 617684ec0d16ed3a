#include "app/update.h"

// Replaced by the update step proper.
void RunUpdate(const InstallPaths&) {}
