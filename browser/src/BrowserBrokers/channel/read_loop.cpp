#include "channel/read_loop.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "platform/debug_output.h"
#include "platform/standard_streams.h"

namespace browser_extensions {
namespace {

constexpr size_t kDiscardChunkBytes = 64 * 1024;
constexpr size_t kFirstBodyChunkBytes = 64 * 1024;

// The loop's reads: each one gets all it asks for unless the input ends.
// After a hard read failure, reported once, it reads nothing more, so the
// loop ends at its next length read.
class InboundReader {
 public:
  explicit InboundReader(FILE* input) : input_(input) {}

  size_t Read(void* buffer, size_t size) {
    if (failed_) return 0;
    uint32_t error = 0;
    const size_t got = platform::ReadStream(input_, buffer, size, &error);
    if (error != 0) {
      failed_ = true;
      platform::OutputDebugLineW(L"Standard input read failed: " + std::to_wstring(error));
    }
    return got;
  }

  bool Failed() const { return failed_; }

 private:
  FILE* input_;
  bool failed_ = false;
};

// Reads `count` bytes and drops them, a chunk at a time, so the stream stays
// in step. Stops early at end of input; the next length read then ends the
// loop. Allocates nothing, so it also works when memory has run out.
void SkipBytes(InboundReader& input, uint32_t count) {
  std::array<char, kDiscardChunkBytes> chunk;
  size_t remaining = count;
  while (remaining > 0) {
    const size_t wanted = std::min(remaining, chunk.size());
    const size_t got = input.Read(chunk.data(), wanted);
    if (got == 0) return;
    remaining -= got;
  }
}

void DiscardFrameBody(InboundReader& input, uint32_t length) {
  platform::OutputDebugLineW(L"Inbound frame discarded: length " +
                             std::to_wstring(length) + L" exceeds " +
                             std::to_wstring(kMaxInboundFrameBytes));
  SkipBytes(input, length);
}

void ReportFrameOutOfMemory(uint32_t length) {
  // The frame's own memory is released by now; should even this short line
  // find none, the report is lost rather than the host.
  try {
    platform::OutputDebugLineW(L"Inbound frame dropped: out of memory, length " +
                               std::to_wstring(length));
  } catch (const std::bad_alloc&) {
  }
}

// Reads a body of `length` bytes into `body`, which starts small and grows
// with what arrives, so that memory follows the bytes that really came, not
// the length a peer announced. A body that fits the first chunk (nearly
// every message) is read with one call. Returns the bytes that arrived (fewer when the input
// ended or failed), or nothing when memory ran out; the rest of the body is
// then skipped, so the stream stays in step.
std::optional<size_t> ReadBody(InboundReader& input, uint32_t length,
                               std::unique_ptr<char[]>& body) {
  size_t capacity = std::min<size_t>(length, kFirstBodyChunkBytes);
  // One byte to spare for the terminator after what arrived.
  body.reset(new (std::nothrow) char[capacity + 1]);
  size_t arrived = 0;
  while (body) {
    arrived += input.Read(body.get() + arrived, capacity - arrived);
    if (arrived < capacity || arrived == length) return arrived;
    const size_t grown = std::min<size_t>(length, 2 * capacity);
    std::unique_ptr<char[]> larger(new (std::nothrow) char[grown + 1]);
    if (larger) std::memcpy(larger.get(), body.get(), arrived);
    body = std::move(larger);
    capacity = grown;
  }
  SkipBytes(input, static_cast<uint32_t>(length - arrived));
  return std::nullopt;
}

// Reads one body and hands it on. Returns false when memory ran out on the
// way (for the body, or for whatever the receiver did with it); the message
// is then dropped and the stream is still in step.
bool HandleFrameBody(InboundReader& input, uint32_t length, const FrameReceiver& receive) {
  std::unique_ptr<char[]> body;
  const std::optional<size_t> arrived = ReadBody(input, length, body);
  if (!arrived) return false;
  // What arrived is what gets handled, but never the part before a failed read.
  if (input.Failed()) return true;
  body[*arrived] = '\0';
  try {
    receive(body.get());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

void RunReadLoop(FILE* stream, const FrameReceiver& receive) {
  InboundReader input(stream);
  for (;;) {
    // Browsers send the length as an unsigned count.
    uint32_t length = 0;
    const size_t lengthBytes = input.Read(&length, sizeof(length));
    if (lengthBytes == 0 || input.Failed()) return;
    // A partial length (input ended inside it) and a zero one carry no
    // frame; whatever follows is read as the next length.
    if (lengthBytes < sizeof(length) || length == 0) continue;
    if (length > kMaxInboundFrameBytes) {
      DiscardFrameBody(input, length);
      continue;
    }
    if (!HandleFrameBody(input, length, receive)) ReportFrameOutOfMemory(length);
  }
}

}  // namespace browser_extensions
