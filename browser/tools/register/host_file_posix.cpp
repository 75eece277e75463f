#include "host_file.h"

#include <unistd.h>

#include <system_error>

namespace registration {

bool RelativeHostPathAllowed() { return false; }

std::string HostFileProblem(const std::filesystem::path& path) {
  std::error_code code;
  const auto status = std::filesystem::status(path, code);
  if (!std::filesystem::exists(status)) return "does not exist";
  if (!std::filesystem::is_regular_file(status)) return "is not a file";
  if (access(path.c_str(), X_OK) != 0) return "is not executable";
  return {};
}

const char* AgentLibraryFileName() { return "libHarrowmere64.so"; }
const char* BridgeLibraryFileName() { return "libTollgatelink.so"; }

}  // namespace registration
