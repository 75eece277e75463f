#include "platform/process_privacy.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace platform {

void KeepMemoryPrivate() {
#ifndef CORVANTILHUB_DEBUGGABLE
  // Neither can fail for a process lowering its own limits; if one did,
  // the host would still serve, as it would on a kernel without the switch.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
#endif
}

}  // namespace platform
