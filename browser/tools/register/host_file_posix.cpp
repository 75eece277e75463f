#include "host_file.h"

#include <unistd.h>

#include <system_error>

namespace registration {

bool RelativeHostPathAllowed() { return false; }

bool HostFileExecutable(const std::filesystem::path& path) {
  return access(path.c_str(), X_OK) == 0;
}

const char* AgentLibraryFileName() { return "libHarrowmere64.so"; }
const char* BridgeLibraryFileName() { return "libTollgatelink.so"; }

}  // namespace registration
