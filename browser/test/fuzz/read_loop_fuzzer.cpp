// Fuzzes the host's read loop over arbitrary input streams: lengths of any
// value, zero and oversized frames, bodies and lengths cut off by the end of
// input. The loop runs in process over a stream holding exactly the fuzz
// bytes, and hands its frames to a receiver that records them.
//
// Invariant: the texts handed on are exactly the frames that the stream
// holds by the framing rule (ExpectedFrames below), each up to its first
// zero byte, in order.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "channel/read_loop.h"

namespace {

constexpr uint32_t kLimit = browser_extensions::kMaxInboundFrameBytes;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The framing rule: a 4-byte little-endian unsigned length, then that many
// body bytes. Input that ends inside a length ends the stream; a zero
// length carries no frame; a body longer than the limit is skipped whole;
// a body cut short by the end of input is handed on as far as it came.
std::vector<std::string> ExpectedFrames(const uint8_t* data, size_t size) {
  std::vector<std::string> frames;
  size_t at = 0;
  while (size - at >= 4) {
    const uint32_t length = data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                            static_cast<uint32_t>(data[at + 3]) << 24;
    at += 4;
    if (length == 0) continue;
    const size_t present = std::min<size_t>(length, size - at);
    if (length <= kLimit) {
      const auto* body = reinterpret_cast<const char*>(data + at);
      frames.emplace_back(body, std::find(body, body + present, '\0'));
    }
    at += present;
  }
  return frames;
}

// A stream that holds exactly the fuzz bytes.
FILE* StreamOf(const uint8_t* data, size_t size) {
  const int fd = memfd_create("read-loop-input", MFD_CLOEXEC);
  Require(fd >= 0);
  for (size_t written = 0; written < size;) {
    const ssize_t n = write(fd, data + written, size - written);
    Require(n > 0);
    written += static_cast<size_t>(n);
  }
  Require(lseek(fd, 0, SEEK_SET) == 0);
  FILE* stream = fdopen(fd, "rb");
  Require(stream != nullptr);
  return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> received;
  FILE* stream = StreamOf(data, size);
  browser_extensions::RunReadLoop(stream,
                                  [&received](const char* text) { received.emplace_back(text); });
  std::fclose(stream);
  Require(received == ExpectedFrames(data, size));
  return 0;
}
