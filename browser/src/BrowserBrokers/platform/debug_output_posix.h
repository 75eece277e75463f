// What the POSIX debug output offers beyond debug_output.h.
#pragma once

namespace platform {

// Lines look for the debug socket at most once a second. A monitor in this
// very process (the tests' line capture) calls this once it is bound, so
// that the next line finds it at once.
void LookForDebugMonitorAtNextLine();

}  // namespace platform
