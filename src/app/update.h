// The update step: decides from the two copies' last-write times whether the
// local copy must be replaced, shows both versions and copies the file.
#pragma once

#include "app/install_paths.h"

// Returns when the run is done (updated or nothing to do); raises otherwise.
void RunUpdate(const InstallPaths& paths);
