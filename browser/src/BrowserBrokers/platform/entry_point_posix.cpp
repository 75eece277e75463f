#include "platform/dynamic_library.h"
#include "platform/host_entry.h"

// The host reads no command line: its arguments are ignored.
int main(int, char**) {
  platform::LimitLibrarySearch();
  return HostMain();
}
