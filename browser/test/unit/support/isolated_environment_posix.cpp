#include "support/isolated_environment.h"

#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The folder and the process that made it, kept for the exit handler; a
// forked child that calls exit() must not remove its parent's folder.
std::string* madeFolder = nullptr;
pid_t maker = 0;

// Socket paths must fit in 108 bytes, so a long TMPDIR is passed over.
std::string TempBase() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && tmp[0] == '/' && std::string(tmp).size() < 48) return tmp;
  return "/tmp";
}

int RemoveEntry(const char* path, const struct stat*, int, FTW*) { return std::remove(path); }

void RemoveFolder() {
  if (madeFolder == nullptr || getpid() != maker) return;
  nftw(madeFolder->c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  delete madeFolder;
  madeFolder = nullptr;
}

}  // namespace

IsolatedEnvironment::IsolatedEnvironment() {
  std::string pattern = TempBase() + "/corvantilhub-test-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    std::perror("corvantilhub tests: cannot create a private folder");
    std::exit(2);
  }
  folder_ = pattern;
  setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  setenv("XDG_DATA_HOME", folder_.c_str(), 1);
  // Also cleaned up when a test ends the process with exit().
  madeFolder = new std::string(folder_);
  maker = getpid();
  std::atexit(RemoveFolder);
}

IsolatedEnvironment::~IsolatedEnvironment() { RemoveFolder(); }
