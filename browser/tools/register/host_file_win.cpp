#include "host_file.h"

#include <system_error>

namespace registration {

bool RelativeHostPathAllowed() { return true; }

bool HostFileExecutable(const std::filesystem::path&) { return true; }

const char* AgentLibraryFileName() { return "Harrowmere64.dll"; }
const char* BridgeLibraryFileName() { return "Tollgatelink.dll"; }

}  // namespace registration
