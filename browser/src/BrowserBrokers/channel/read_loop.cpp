#include "channel/read_loop.h"

#include <algorithm>
#include <string>
#include <vector>

#include "designer/xpath_relay.h"
#include "handling/message_handler.h"
#include "platform/debug_output.h"
#include "platform/standard_streams.h"

namespace browser_extensions {
namespace {

constexpr size_t kDiscardChunkBytes = 64 * 1024;

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

// Reads up to `length` bytes and drops them, a chunk at a time. Stops early
// at end of input; the next length read then ends the loop.
void DiscardFrameBody(InboundReader& input, int32_t length) {
  platform::OutputDebugLineW(L"Inbound frame discarded: length " +
                             std::to_wstring(length) + L" exceeds " +
                             std::to_wstring(kMaxInboundFrameBytes));
  std::vector<char> chunk(kDiscardChunkBytes);
  size_t remaining = static_cast<size_t>(length);
  while (remaining > 0) {
    const size_t wanted = std::min(remaining, chunk.size());
    const size_t got = input.Read(chunk.data(), wanted);
    if (got == 0) return;
    remaining -= got;
  }
}

void HandleFrameBody(InboundReader& input, int32_t length, CMessageHandler& handler,
                     std::wstring& type) {
  // Zero-filled with one byte to spare, so the text is always terminated,
  // also when the input ends inside the body. What arrived is what gets
  // handled, but never the part before a failed read.
  std::vector<char> body(static_cast<size_t>(length) + 1, '\0');
  input.Read(body.data(), static_cast<size_t>(length));
  if (input.Failed()) return;
  handler.ProcessMessage(body.data(), type);
  if (type == L"XPath") RelayXPath(body.data());
}

}  // namespace

void RunReadLoop(FILE* stream, CMessageHandler& handler) {
  InboundReader input(stream);
  std::wstring type;
  for (;;) {
    int32_t length = 0;
    const size_t lengthBytes = input.Read(&length, sizeof(length));
    if (lengthBytes == 0 || input.Failed()) return;
    // A partial length (input ended inside it) and a zero or negative one
    // carry no frame; whatever follows is read as the next length.
    if (lengthBytes < sizeof(length) || length <= 0) continue;
    if (length > kMaxInboundFrameBytes) {
      DiscardFrameBody(input, length);
      continue;
    }
    HandleFrameBody(input, length, handler, type);
    // A message must never inherit the type of the one before it.
    type.clear();
  }
}

}  // namespace browser_extensions
