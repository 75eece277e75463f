#include "agent/stray_io.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "common/environment.h"
#include "common/library_thread.h"

namespace harrowmere {
namespace {

constexpr char kNoiseVariable[] = "HARROWMERE_NOISE";

// Each line names its route, so a test can see that every route was caught.
void MakeNoise(const std::string& where) {
  // std::cout's formatting state is shared; one noise at a time keeps the
  // stand-in free of data races of its own. Never destroyed: library
  // threads may still make noise while the process exits.
  static std::mutex* const noiseMutex = new std::mutex;
  std::lock_guard<std::mutex> lock(*noiseMutex);
  std::printf("harrowmere-noise printf %s\n", where.c_str());
  std::fflush(stdout);
  std::cout << "harrowmere-noise cout " << where << std::endl;
  WriteRawStandardOutput("harrowmere-noise raw " + where + "\n");

  char stolen[16];
  const std::size_t fromStream = std::fread(stolen, 1, sizeof(stolen), stdin);
  std::clearerr(stdin);
  const std::size_t fromRaw = ReadRawStandardInput(stolen, sizeof(stolen));
  std::printf("harrowmere-noise read %zu bytes %s\n", fromStream + fromRaw, where.c_str());
  std::fflush(stdout);
}

}  // namespace

void MakeNoiseIfAsked() {
  if (standins::EnvironmentValue(kNoiseVariable) != "1") return;
  static std::atomic<int> calls{0};
  const std::string number = std::to_string(++calls);
  MakeNoise("call " + number);
  standins::RunOnLibraryThread([number] { MakeNoise("thread " + number); });
}

}  // namespace harrowmere
