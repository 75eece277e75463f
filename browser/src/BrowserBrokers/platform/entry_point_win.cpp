#include "platform/dynamic_library.h"
#include "platform/host_entry.h"

// Built with -municode. The host reads no command line: its arguments are
// ignored. Before anything else, the libraries that the process loads later
// (ours, or those a library loads in turn) are looked for in the host's own
// folder and the system folder only.
int wmain(int, wchar_t**) {
  platform::LimitLibrarySearch();
  return HostMain();
}
