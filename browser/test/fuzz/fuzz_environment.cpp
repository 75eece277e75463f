// Every fuzz program runs in a private folder of its own: its debug lines
// go to a socket path nobody listens on, and the protection key is made
// afresh there rather than in the user's real data folder. Set up before
// main, so libFuzzer's main and the replay main both get it.
#include "fuzz_environment.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

std::string* folder = nullptr;
pid_t maker = 0;

int RemoveEntry(const char* path, const struct stat*, int, FTW*) { return std::remove(path); }

void RemoveFolder() {
  if (folder == nullptr || getpid() != maker) return;
  nftw(folder->c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string MakeFolder() {
  std::string pattern = "/tmp/corvantilhub-fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    std::perror("fuzz: cannot create a private folder");
    std::_Exit(2);
  }
  return pattern;
}

struct Setup {
  Setup() {
    folder = new std::string(MakeFolder());
    maker = getpid();
    setenv("XDG_RUNTIME_DIR", folder->c_str(), 1);
    setenv("XDG_DATA_HOME", (*folder + "/data").c_str(), 1);
    std::atexit(RemoveFolder);
  }
} setup;

}  // namespace

const std::string& FuzzFolder() { return *folder; }
