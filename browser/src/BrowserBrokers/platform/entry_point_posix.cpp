#include <cstring>

#include "platform/dynamic_library.h"
#include "platform/host_entry.h"

// The host reads no command line: its arguments are ignored, but for a lone
// --version, which browsers never pass.
int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return HostVersionMain();
  platform::LimitLibrarySearch();
  return HostMain();
}
