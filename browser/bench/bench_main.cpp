// The bench program's main: runs every benchmark in a private folder that
// stands for the user's runtime and data folders, so the data-protection
// key is made there and not in the user's home, and no debug monitor that
// happens to listen slows the writers down.
#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
  return std::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "/tmp/corvantilhub-bench-XXXXXX";
  if (mkdtemp(&folder[0]) == nullptr) {
    std::perror("corvantilhub_bench: cannot create a private folder");
    return 2;
  }
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  setenv("XDG_DATA_HOME", folder.c_str(), 1);

  benchmark::Initialize(&argc, argv);
  int status = 0;
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    status = 1;
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  return status;
}
