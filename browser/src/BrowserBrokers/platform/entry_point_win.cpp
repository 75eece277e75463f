#include <cwchar>

#include "platform/dynamic_library.h"
#include "platform/host_entry.h"

// Built with -municode. The host reads no command line: its arguments are
// ignored, but for a lone --version, which browsers never pass. Before
// anything else, the libraries that the process loads later (ours, or those
// a library loads in turn) are looked for in the host's own folder and the
// system folder only.
int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"--version") == 0) return HostVersionMain();
  platform::LimitLibrarySearch();
  return HostMain();
}
