// Linux: the folders on the way are reached without following a link that
// someone else could have put there (path_walk_posix.h); missing ones are
// made with mode 0755. The file is written under a new name of its own
// (O_EXCL|O_NOFOLLOW), given mode 0644 and renamed into place, so a link
// planted under the manifest's name is replaced, never written through, and
// a browser never reads half a manifest. The umask changes neither mode.
#include "manifest_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "path_walk_posix.h"

namespace registration {
namespace {

constexpr mode_t kManifestMode = 0644;
constexpr int kNameTries = 16;

// A new file beside `name` in `folder`, under a name nobody else chose.
int CreateTemporary(int folder, const std::string& name, std::string* temporary) {
  std::random_device random;
  for (int tries = 0; tries < kNameTries; ++tries) {
    *temporary = "." + name + ".new-" + std::to_string(random());
    const int fd = openat(folder, temporary->c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kManifestMode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t count = write(fd, content.data() + done, content.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

// Writes the file in the open `folder`; errno tells why it failed.
bool WriteInto(int folder, const std::string& name, const std::string& content) {
  std::string temporary;
  const int fd = CreateTemporary(folder, name, &temporary);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, content) && fchmod(fd, kManifestMode) == 0 && fsync(fd) == 0;
  int error = errno;
  close(fd);
  const bool placed = written && renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
  if (!placed) {
    if (written) error = errno;
    unlinkat(folder, temporary.c_str(), 0);
    errno = error;
  }
  return placed;
}

}  // namespace

bool WriteManifestFile(const Target&, const std::filesystem::path& path,
                       const std::string& content, std::string* error) {
  FolderWalk walk;
  walk.makeMissing = true;
  const int folder = OpenFolder(path.parent_path().string(), walk, error);
  if (folder < 0) return false;
  const bool written = WriteInto(folder, path.filename().string(), content);
  const int writeError = errno;
  close(folder);
  if (!written) *error = "cannot write " + path.u8string() + ": " + std::strerror(writeError);
  return written;
}

bool RemoveManifestFile(const std::filesystem::path& path, bool* removed, std::string* error) {
  *removed = false;
  const int folder = OpenFolder(path.parent_path().string(), FolderWalk{}, error);
  if (folder < 0) return false;
  const bool unlinked = unlinkat(folder, path.filename().c_str(), 0) == 0;
  const int unlinkError = errno;
  close(folder);
  *removed = unlinked;
  if (unlinked) return true;
  *error = "cannot remove " + path.u8string() + ": " + std::strerror(unlinkError);
  return false;
}

}  // namespace registration
