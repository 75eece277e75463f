// The frame writers: everything the host sends to the browser extension
// leaves through here, one frame per call.
//
// A frame is a 4-byte little-endian length and a body: the text as UTF-8,
// cut at its first NUL, escaped and put in quotation marks, so the
// extension receives a JSON string whose value is the text.
//
// The writers may be called from any thread at any time, also while the
// entry point returns; frames never interleave.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

// Browsers end the connection when a host announces a body over 1 MiB, so
// such a frame is dropped instead, with a debug line.
inline constexpr std::size_t kMaxOutboundBodyBytes = 1048576;

// Guards the extension output: each frame is written whole under it. It is
// never destroyed, because detached threads may still write while the
// process exits.
std::mutex& OutputMutex();

// Writes one frame of `text` and, under the lock before the frame's bytes,
// the debug line "Message Sent to Chrome Extension Message Written".
void WriteExtensionMessage(const std::wstring& text);

// Unwraps protected text with UnProtectData and writes one frame of the
// result, without a debug line. Text that doesn't unwrap goes out as given.
void WriteProtectedExtensionMessage(const std::wstring& protectedText);

// The function the designer bridge calls with the designer's text for the
// extension; the first argument carries nothing the host uses.
void OnDesignerText(const std::wstring& first, const std::wstring& second);

// Called by the entry point as the process ends: waits up to `patience` for
// the frame being written to finish, then keeps the lock for good, so the
// exit can't cut a frame in half and no new frame starts. Returns false when
// a writer still held the lock after `patience` (one stuck on a full pipe).
bool CloseExtensionOutput(std::chrono::milliseconds patience);

// Makes the writers drop bodies over `bytes` instead of over
// kMaxOutboundBodyBytes, so that fuzzing reaches the limit with short texts
// (0: back to kMaxOutboundBodyBytes). Not for use while writers run.
void SetOutboundBodyLimitForTesting(std::size_t bytes);
