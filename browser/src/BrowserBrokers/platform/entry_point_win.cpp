#include "platform/host_entry.h"

// Built with -municode. The host reads no command line: its arguments are
// ignored.
int wmain(int, wchar_t**) { return HostMain(); }
