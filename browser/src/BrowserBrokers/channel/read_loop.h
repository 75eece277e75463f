// The host's read loop over the frames that the extension sends.
#pragma once

#include <cstdint>
#include <cstdio>

namespace browser_extensions {

class CMessageHandler;

// The largest inbound body the host takes in. A longer frame is read and
// thrown away in bounded chunks, so a bogus or hostile length can neither
// exhaust memory nor put the stream out of step.
inline constexpr uint32_t kMaxInboundFrameBytes = 64 * 1024 * 1024;

// Reads frames from `input` until a length read yields no byte at all, or
// a read fails outright ("Standard input read failed: <code>"). Reads that a
// signal interrupts are resumed, and a non-blocking input is waited on.
// Each body goes to `handler`; an "XPath" message is then also relayed to
// the designer. Runs on the main thread.
void RunReadLoop(FILE* input, CMessageHandler& handler);

}  // namespace browser_extensions
