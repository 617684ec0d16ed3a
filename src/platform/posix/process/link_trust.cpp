#include "platform/link_trust.h"

// The write path follows only links it may (files/write_path.h): nothing to
// ask of the system.
void RefuseUntrustedLinks() {}
