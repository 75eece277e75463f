// Replays a seed corpus through the fuzz target where libFuzzer is not
// available: each file whole, then every proper prefix of it, since cut-off
// text is where the reader keeps partial trees.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      if (!entry.is_regular_file()) continue;
      const std::vector<std::uint8_t> input = ReadFile(entry.path());
      for (std::size_t length = 0; length <= input.size(); length += 2) {
        LLVMFuzzerTestOneInput(input.data(), length);
      }
      ++replayed;
    }
  }
  std::printf("replayed %d inputs and their prefixes\n", replayed);
  return replayed > 0 ? 0 : 1;
}
