#include "platform/process_privacy.h"

namespace platform {

// Windows keeps a process's memory from other users already; dumps for
// error reports are switched off by the installer (ExcludedApplications).
void KeepMemoryPrivate() {}

}  // namespace platform
