#include "path_walk_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>

namespace registration {
namespace {

// As many links as the kernel follows in one path.
constexpr int kMostLinks = 40;
constexpr mode_t kFolderMode = 0755;

bool IsTrustedOwner(uid_t owner) { return owner == 0 || owner == geteuid(); }

std::string OwnerText(uid_t owner) {
  const passwd* entry = getpwuid(owner);
  const std::string uid = "uid " + std::to_string(owner);
  return entry != nullptr ? std::string(entry->pw_name) + " (" + uid + ")" : uid;
}

std::string WritersText(const struct stat& status) {
  return (status.st_mode & S_IWOTH) != 0 ? "anyone" : "its group";
}

// The names of `path` in order; "." and empty names dropped.
std::deque<std::string> Names(const std::string& path) {
  std::deque<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t slash = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, slash - start);
    if (!name.empty() && name != ".") names.push_back(name);
    start = slash + 1;
  }
  return names;
}

std::string Parent(const std::string& shown) {
  const size_t slash = shown.rfind('/');
  return slash == std::string::npos ? std::string() : shown.substr(0, slash);
}

std::string Shown(const std::string& shown) { return shown.empty() ? "/" : shown; }

// One step of the walk: the open folder, the path it was reached by (empty
// for the root) and the links followed so far.
struct Position {
  int folder = -1;
  std::string shown;
  int links = 0;
};

bool Fail(Position* at, std::string* error, std::string reason) {
  if (at->folder >= 0) close(at->folder);
  at->folder = -1;
  *error = std::move(reason);
  return false;
}

bool StartAtRoot(Position* at, std::string* error) {
  if (at->folder >= 0) close(at->folder);
  at->folder = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  at->shown.clear();
  return at->folder >= 0 || Fail(at, error, std::string("cannot open /: ") + std::strerror(errno));
}

// Puts the link's target in front of the names still to walk.
bool FollowLink(Position* at, const std::string& name, std::deque<std::string>* names,
                std::string* error) {
  const std::string here = at->shown + "/" + name;
  if (++at->links > kMostLinks) return Fail(at, error, here + ": too many links");
  char target[4096];
  const ssize_t length = readlinkat(at->folder, name.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof target)
    return Fail(at, error, "cannot read the link " + here);
  const std::string text(target, static_cast<size_t>(length));
  const std::deque<std::string> more = Names(text);
  names->insert(names->begin(), more.begin(), more.end());
  return text[0] != '/' || StartAtRoot(at, error);
}

// Looks at `name` in the current folder, making it first when asked to.
bool LookAt(Position* at, const std::string& name, const FolderWalk& walk, struct stat* entry,
            bool* made, std::string* error) {
  *made = false;
  if (fstatat(at->folder, name.c_str(), entry, AT_SYMLINK_NOFOLLOW) == 0) return true;
  const std::string here = at->shown + "/" + name;
  if (errno != ENOENT || !walk.makeMissing)
    return Fail(at, error, "cannot reach " + here + ": " + std::strerror(errno));
  *made = mkdirat(at->folder, name.c_str(), kFolderMode) == 0;
  if (!*made && errno != EEXIST)
    return Fail(at, error, "cannot create " + here + ": " + std::strerror(errno));
  return fstatat(at->folder, name.c_str(), entry, AT_SYMLINK_NOFOLLOW) == 0 ||
         Fail(at, error, "cannot reach " + here + ": " + std::strerror(errno));
}

// Enters the folder `name`; it must still be the one looked at, not a link.
bool Enter(Position* at, const std::string& name, bool made, std::string* error) {
  const std::string here = at->shown + "/" + name;
  const int next =
      openat(at->folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (next < 0) return Fail(at, error, "cannot enter " + here + ": " + std::strerror(errno));
  close(at->folder);
  at->folder = next;
  at->shown = here;
  // Made by us: its mode is ours to set, whatever the umask took away.
  return !made || fchmod(next, kFolderMode) == 0 ||
         Fail(at, error, "cannot set the mode of " + here + ": " + std::strerror(errno));
}

// Goes up to the parent folder. Every folder above the current one was
// entered on the way here, so there is nothing to judge.
bool Leave(Position* at, std::string* error) {
  const int parent = openat(at->folder, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) return Fail(at, error, "cannot leave " + Shown(at->shown));
  close(at->folder);
  at->folder = parent;
  at->shown = Parent(at->shown);
  return true;
}

// Takes the next name of `names` from the current folder.
bool Step(Position* at, std::deque<std::string>* names, const FolderWalk& walk,
          std::string* error) {
  const std::string name = names->front();
  names->pop_front();
  if (name == "..") return Leave(at, error);
  struct stat folder, entry;
  if (fstat(at->folder, &folder) != 0) return Fail(at, error, "cannot look at " + Shown(at->shown));
  bool made = false;
  if (!LookAt(at, name, walk, &entry, &made, error)) return false;
  const bool link = S_ISLNK(entry.st_mode);
  if (link || walk.everyStepGuarded) {
    std::string objection = WhoElseCanReplace(Shown(at->shown), folder, entry);
    if (!objection.empty() && !walk.everyStepGuarded)
      objection = "not following the link " + at->shown + "/" + name + ": " + objection;
    if (!objection.empty()) return Fail(at, error, std::move(objection));
  }
  return link ? FollowLink(at, name, names, error) : Enter(at, name, made, error);
}

}  // namespace

std::string WhoElseCanReplace(const std::string& folderPath, const struct stat& folder,
                              const struct stat& entry) {
  if (!IsTrustedOwner(folder.st_uid))
    return folderPath + " belongs to " + OwnerText(folder.st_uid);
  const bool othersWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  const bool protectedBySticky = (folder.st_mode & S_ISVTX) != 0 && IsTrustedOwner(entry.st_uid);
  if (othersWrite && !protectedBySticky)
    return folderPath + " may be written by " + WritersText(folder);
  return {};
}

std::string WhoElseCanWrite(const std::string& path, const struct stat& entry) {
  if (!IsTrustedOwner(entry.st_uid)) return path + " belongs to " + OwnerText(entry.st_uid);
  if ((entry.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return path + " may be written by " + WritersText(entry);
  return {};
}

int OpenFolder(const std::string& path, const FolderWalk& walk, std::string* error) {
  if (path.empty() || path[0] != '/') {
    *error = path + " is not an absolute path";
    return -1;
  }
  Position at;
  std::deque<std::string> names = Names(path);
  if (!StartAtRoot(&at, error)) return -1;
  while (!names.empty()) {
    if (!Step(&at, &names, walk, error)) return -1;
  }
  return at.folder;
}

}  // namespace registration
