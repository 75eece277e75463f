// The host's read loop over the frames that the extension sends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

namespace browser_extensions {

// Receives each frame's text: the body up to its first zero byte, followed
// by a zero byte. It may throw std::bad_alloc, which drops that frame only.
using FrameReceiver = std::function<void(const char* text)>;

// The largest inbound body the host takes in. A longer frame is read and
// thrown away in bounded chunks, so a bogus or hostile length can neither
// exhaust memory nor put the stream out of step.
inline constexpr uint32_t kMaxInboundFrameBytes = 64 * 1024 * 1024;

// Reads frames from `input` until a length read yields no byte at all, or
// a read fails outright ("Standard input read failed: <code>"), and hands
// each body to `receive`. Reads that a signal interrupts are resumed, and a
// non-blocking input is waited on. Runs on the main thread.
void RunReadLoop(FILE* input, const FrameReceiver& receive);

}  // namespace browser_extensions
