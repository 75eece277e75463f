#include "common/record_file.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace standins {
namespace {

// Never destroyed: library threads may still record while the process exits.
std::mutex& RecordMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

void ReportUnwritableOnce(const std::string& path) {
  static std::atomic<bool> reported{false};
  if (!reported.exchange(true))
    std::fprintf(stderr, "stand-in: cannot append to record file %s\n", path.c_str());
}

}  // namespace

void AppendRecordLine(const std::string& path, const RecordLine& line) {
  std::string text = line.Line();
  std::lock_guard<std::mutex> lock(RecordMutex());
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) {
    ReportUnwritableOnce(path);
    return;
  }
  // Unbuffered, so the whole line reaches the file in one write.
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

}  // namespace standins
