// Links on the way to a file the run writes. The run may be an
// administrator's (a scheduled task, a root login script) over folders a
// standard user may write: a link that such a user made there must not lead
// the run's writes elsewhere.
#pragma once

// Asks the system to refuse, for the rest of the process, to follow a link
// that a standard user made. Windows 10 22H2 and later do so when asked
// (RedirectionGuard); an older Windows has no such refusal, and the request
// is left unanswered. On POSIX the layer's own write path holds the rule
// (posix/files/write_path.h), and there is nothing to ask.
void RefuseUntrustedLinks();
