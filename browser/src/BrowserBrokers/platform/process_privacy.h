// Keeps the host's memory, which holds passwords while messages pass
// through it, to the host itself.
#pragma once

namespace platform {

// Called first thing at start. POSIX: the process becomes non-dumpable
// (no other process of the same user may attach to it or read its memory,
// and its /proc entries belong to root) and its core size limit becomes 0,
// so a crash writes no core file. Windows has no per-process switch for
// this; the installer excludes the host from Windows Error Reporting
// instead. Builds configured with CORVANTILHUB_DEBUGGABLE=ON leave the
// process as it is, for debugging.
void KeepMemoryPrivate();

}  // namespace platform
