#include "host_file.h"

#include <unistd.h>

#include <system_error>

namespace registration {

bool RelativeHostPathAllowed() { return false; }

bool HostFileExecutable(const std::filesystem::path& path) {
  return access(path.c_str(), X_OK) == 0;
}

bool FileUnreadable(const std::filesystem::path& path) {
  std::error_code code;
  return std::filesystem::exists(path, code) && access(path.c_str(), R_OK) != 0;
}

std::string MakeReadableCommand(const std::filesystem::path& path) {
  return "chmod a+r " + path.u8string();
}

const char* AgentLibraryFileName() { return "libHarrowmere64.so"; }
const char* BridgeLibraryFileName() { return "libTollgatelink.so"; }

}  // namespace registration
