#include "platform/debug_socket_path.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

constexpr char kSocketName[] = "corvantilhub-debug.sock";

const char* RuntimeFolder() {
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  return runtimeDir != nullptr && runtimeDir[0] != '\0' ? runtimeDir : nullptr;
}

std::string PrivateSocketFolder() { return "/tmp/corvantilhub-" + std::to_string(geteuid()); }

bool Refuse(std::string* problem, const std::string& text) {
  *problem = text;
  return false;
}

}  // namespace

std::string DebugSocketPath() {
  const char* runtimeDir = RuntimeFolder();
  return (runtimeDir != nullptr ? std::string(runtimeDir) : PrivateSocketFolder()) + "/" +
         kSocketName;
}

bool PrepareDebugSocketFolder(std::string* problem) {
  return RuntimeFolder() != nullptr || MakePrivateFolder(PrivateSocketFolder(), problem);
}

bool MakePrivateFolder(const std::string& folder, std::string* problem) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return Refuse(problem, "cannot make " + folder + ": " + std::strerror(errno));
  // Opened without following a link, so the mode is set on what was checked.
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return Refuse(problem, folder + " is not a folder of ours (" + std::strerror(errno) + ")");
  struct stat status;
  std::string wrong;
  if (fstat(fd, &status) != 0)
    wrong = "cannot look at " + folder + ": " + std::strerror(errno);
  else if (status.st_uid != geteuid())
    wrong = folder + " belongs to uid " + std::to_string(status.st_uid) +
            "; leaving it alone (set XDG_RUNTIME_DIR, or have it removed)";
  else if ((status.st_mode & 07777) != 0700 && fchmod(fd, 0700) != 0)
    wrong = "cannot make " + folder + " private: " + std::strerror(errno);
  close(fd);
  return wrong.empty() || Refuse(problem, wrong);
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
