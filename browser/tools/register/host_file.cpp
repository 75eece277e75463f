#include "host_file.h"

#include <system_error>

namespace registration {

std::string HostFileProblem(const std::filesystem::path& path) {
  std::error_code code;
  const auto status = std::filesystem::status(path, code);
  if (!std::filesystem::exists(status)) return "does not exist";
  if (!std::filesystem::is_regular_file(status)) return "is not a file";
  if (!HostFileExecutable(path)) return "is not executable";
  return {};
}

}  // namespace registration
