#include "platform/protection_key_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "platform/last_error.h"

namespace platform {
namespace {

constexpr char kKeyFileName[] = "protect.key";

enum class KeyState { kRead, kMissing, kRefused };

std::atomic<unsigned> loads{0};

std::string HomeFromPasswordDatabase() {
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
  passwd entry;
  passwd* found = nullptr;
  while (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
    buffer.resize(buffer.size() * 2);
  if (found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') return {};
  return found->pw_dir;
}

// Creates every missing folder on the way with mode 0700. Failures show up
// when the last folder is opened.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0700);
  mkdir(path.c_str(), 0700);
}

int OpenFolder(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The folders are made only when the key's own folder is missing.
int OpenOrMakeFolder(const std::string& path) {
  int folder = OpenFolder(path);
  if (folder >= 0 || errno != ENOENT) return folder;
  MakeFolders(path);
  return OpenFolder(path);
}

bool IsTrustedFolder(int folder) {
  struct stat status;
  return fstat(folder, &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Moves all `size` bytes with `transfer` (read or write), through signals
// and short transfers; false on an error or an early end.
template <typename Byte, typename Transfer>
bool TransferExactly(Transfer transfer, int fd, Byte* data, size_t size) {
  while (size > 0) {
    const ssize_t done = transfer(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool ReadExactly(int fd, uint8_t* data, size_t size) {
  return TransferExactly(read, fd, data, size);
}

bool WriteExactly(int fd, const uint8_t* data, size_t size) {
  return TransferExactly(write, fd, data, size);
}

KeyState ReadKey(int folder, uint8_t* key) {
  // O_NONBLOCK: a FIFO in place of the key must not hang us in open().
  int fd = openat(folder, kKeyFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? KeyState::kMissing : KeyState::kRefused;
  struct stat status;
  bool trusted = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                 status.st_uid == geteuid() && (status.st_mode & 077) == 0 &&
                 status.st_size == static_cast<off_t>(kProtectionKeyBytes);
  bool read = trusted && ReadExactly(fd, key, kProtectionKeyBytes);
  close(fd);
  return read ? KeyState::kRead : KeyState::kRefused;
}

// Writes a new key to a file of our own and links it into place, which
// fails with EEXIST when another process was first; the file under the
// final name is always complete.
KeyState CreateKey(int folder, uint8_t* key) {
  uint8_t suffix[8];
  randombytes_buf(suffix, sizeof(suffix));
  char suffixHex[2 * sizeof(suffix) + 1];
  sodium_bin2hex(suffixHex, sizeof(suffixHex), suffix, sizeof(suffix));
  std::string tempName = std::string(kKeyFileName) + ".new-" + suffixHex;

  int fd = openat(folder, tempName.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return KeyState::kRefused;
  randombytes_buf(key, kProtectionKeyBytes);
  bool written = fchmod(fd, 0600) == 0 && WriteExactly(fd, key, kProtectionKeyBytes) &&
                 fsync(fd) == 0;
  close(fd);
  bool linked = written && linkat(folder, tempName.c_str(), folder, kKeyFileName, 0) == 0;
  int linkError = errno;
  unlinkat(folder, tempName.c_str(), 0);
  if (linked) return KeyState::kRead;
  if (written && linkError == EEXIST) return ReadKey(folder, key);
  return KeyState::kRefused;
}

}  // namespace

std::string ProtectionKeyFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  // A relative data home is to be ignored, as if it were unset.
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/corvantilhub";
  std::string home = HomeFromPasswordDatabase();
  if (home.empty()) return {};
  return home + "/.local/share/corvantilhub";
}

bool LoadProtectionKey(uint8_t* key) {
  loads.fetch_add(1, std::memory_order_relaxed);
  KeyState state = KeyState::kRefused;
  std::string folderPath = ProtectionKeyFolder();
  if (!folderPath.empty()) {
    int folder = OpenOrMakeFolder(folderPath);
    if (folder >= 0) {
      if (IsTrustedFolder(folder)) {
        state = ReadKey(folder, key);
        if (state == KeyState::kMissing) state = CreateKey(folder, key);
      }
      close(folder);
    }
  }
  if (state == KeyState::kRead) return true;
  sodium_memzero(key, kProtectionKeyBytes);
  SetLastErrorCode(kErrorAccessDenied);
  return false;
}

unsigned ProtectionKeyLoads() { return loads.load(std::memory_order_relaxed); }

}  // namespace platform
