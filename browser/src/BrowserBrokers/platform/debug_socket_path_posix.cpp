#include "platform/debug_socket_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string DebugSocketPath() {
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  if (runtimeDir != nullptr && runtimeDir[0] != '\0')
    return std::string(runtimeDir) + "/corvantilhub-debug.sock";
  return "/tmp/corvantilhub-debug-" + std::to_string(geteuid()) + ".sock";
}

bool IsOwnSocket(const std::string& path, SocketFileIdentity* identity) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
      status.st_uid != geteuid())
    return false;
  if (identity != nullptr) *identity = SocketFileIdentity{status.st_dev, status.st_ino};
  return true;
}

}  // namespace platform
