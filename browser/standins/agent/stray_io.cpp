#include "agent/stray_io.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "common/environment.h"
#include "common/library_thread.h"
#include "platform/dynamic_library.h"

namespace harrowmere {
namespace {

constexpr char kNoiseVariable[] = "HARROWMERE_NOISE";

using CoutLine = void (*)(const char* text);

// std::cout lives in a library of its own (cout_noise.cpp), beside this one.
CoutLine LoadCoutLine() {
  platform::LibraryHandle library = platform::LoadLibraryByName(L"HarrowmereCout.dll");
  if (library == nullptr) return nullptr;
  return reinterpret_cast<CoutLine>(platform::FindExport(library, "HarrowmereCoutLine"));
}

void WriteThroughCout(const std::string& line) {
  static const CoutLine coutLine = LoadCoutLine();
  if (coutLine != nullptr)
    coutLine(line.c_str());
  else
    std::printf("harrowmere-noise cout unavailable: the HarrowmereCout library is missing\n");
}

// Each line names its route, so a test can see that every route was caught.
void MakeNoise(const std::string& where) {
  // std::cout's formatting state is shared; one noise at a time keeps the
  // stand-in free of data races of its own. Never destroyed: library
  // threads may still make noise while the process exits.
  static std::mutex* const noiseMutex = new std::mutex;
  std::lock_guard<std::mutex> lock(*noiseMutex);
  std::printf("harrowmere-noise printf %s\n", where.c_str());
  std::fflush(stdout);
  WriteThroughCout("harrowmere-noise cout " + where);
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
