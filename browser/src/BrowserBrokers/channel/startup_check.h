// The start-up check: `corvantilhub-register check` starts the host as a
// browser would, with CORVANTILHUB_STARTUP_CHECK=1 in its environment. The
// host then reports on standard error its name and version, as --version
// prints them ("Corvantilhub 1.0.0"), and what it needs to run (one
// "startup check: <what>: <state>" line each), reads no frame and leaves.
// Without the variable the host starts as it always does.
#pragma once

// True when the check's variable is set to "1".
bool StartupCheckRequested();

// Prepares the standard streams, looks for the designer bridge, tries the
// protection service and writes the report. Returns the status the host
// would end with: 0, or -1 when the standard streams can't be prepared.
int RunStartupCheck();
