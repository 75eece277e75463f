#include "tool_process.h"

#include <system_error>

namespace registration {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::filesystem::path RunningExecutable() {
  std::error_code error;
  std::filesystem::path self =
      std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self;
}

const char* HostExecutableName() { return "Corvantilhub"; }

const char* AdministratorName() { return "root"; }

}  // namespace registration
