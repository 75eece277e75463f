#include "trusted_path.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "path_walk_posix.h"

namespace registration {
namespace {

constexpr int kMostLinks = 40;

std::string Judge(const std::string& path, int linksLeft) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return path + " is not an absolute path";
  const std::string folderPath = slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = path.substr(slash + 1);
  FolderWalk walk;
  walk.everyStepGuarded = true;
  std::string objection;
  const int folder = OpenFolder(folderPath, walk, &objection);
  if (folder < 0) return objection;
  struct stat folderStatus, entry;
  if (fstat(folder, &folderStatus) != 0 ||
      fstatat(folder, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
    objection = "cannot look at " + path + ": " + std::strerror(errno);
  } else {
    objection = WhoElseCanReplace(folderPath, folderStatus, entry);
  }
  if (objection.empty() && S_ISLNK(entry.st_mode)) {
    char target[4096];
    const ssize_t length = readlinkat(folder, name.c_str(), target, sizeof target);
    close(folder);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target || linksLeft == 0)
      return "cannot follow the link " + path;
    const std::string text(target, static_cast<size_t>(length));
    return Judge(text[0] == '/' ? text : folderPath + "/" + text, linksLeft - 1);
  }
  close(folder);
  return objection.empty() ? WhoElseCanWrite(path, entry) : objection;
}

}  // namespace

bool RunsAsRoot() { return geteuid() == 0; }

std::string WhoElseCanChange(const std::filesystem::path& path) {
  return Judge(std::filesystem::absolute(path).string(), kMostLinks);
}

}  // namespace registration
