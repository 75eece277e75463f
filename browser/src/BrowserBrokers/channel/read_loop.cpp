#include "channel/read_loop.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "designer/xpath_relay.h"
#include "handling/message_handler.h"
#include "platform/debug_output.h"

namespace browser_extensions {
namespace {

constexpr size_t kDiscardChunkBytes = 64 * 1024;

// Reads up to `length` bytes and drops them, a chunk at a time. Stops early
// at end of input; the next length read then ends the loop.
void DiscardFrameBody(FILE* input, int32_t length) {
  platform::OutputDebugLineW(L"Inbound frame discarded: length " +
                             std::to_wstring(length) + L" exceeds " +
                             std::to_wstring(kMaxInboundFrameBytes));
  std::vector<char> chunk(kDiscardChunkBytes);
  size_t remaining = static_cast<size_t>(length);
  while (remaining > 0) {
    const size_t wanted = std::min(remaining, chunk.size());
    const size_t got = fread(chunk.data(), 1, wanted, input);
    if (got == 0) return;
    remaining -= got;
  }
}

void HandleFrameBody(FILE* input, int32_t length, CMessageHandler& handler,
                     std::wstring& type) {
  // One byte to spare for the terminator after what arrived, so a body that
  // comes in short ends there. Not filled in advance: a large body is
  // written once, by the read, and pages it never reaches stay untouched.
  std::unique_ptr<char[]> body(new char[static_cast<size_t>(length) + 1]);
  const size_t arrived = fread(body.get(), 1, static_cast<size_t>(length), input);
  body[arrived] = '\0';
  handler.ProcessMessage(body.get(), type);
  if (type == L"XPath") RelayXPath(body.get());
}

}  // namespace

void RunReadLoop(FILE* input, CMessageHandler& handler) {
  std::wstring type;
  for (;;) {
    int32_t length = 0;
    const size_t lengthBytes = fread(&length, 1, sizeof(length), input);
    if (lengthBytes == 0) return;
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
