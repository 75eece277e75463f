// The standard streams that carry the extension's frames: binary mode, the
// host's private copies of them, and whole reads and writes on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace platform {

// Puts a standard stream into binary mode (_setmode on its _fileno on
// Windows: no newline translation, no end-of-file character). POSIX streams
// are binary already. Returns 0 on success, -1 on failure with errno set.
int SetBinaryMode(FILE* stream);

// The outcome of TakeOverStandardStreams. A code is 0 when its step worked,
// otherwise the error number (errno, or GetLastError on Windows).
struct StandardStreamsTakeOver {
  // The private copies of standard input and output, or null when they
  // could not be made.
  FILE* input = nullptr;
  FILE* output = nullptr;
  uint32_t duplicateError = 0;
  uint32_t redirectError = 0;
};

// Called once, at the very start of the program, before any thread starts.
// Keeps private, non-inheritable copies of standard input and output for
// the frames, then points the process's standard input at the null device
// and its standard output at standard error (at the null device when there
// is no usable standard error), so that no other code in the process, nor a
// child it starts, can read frames away or write into them. Descriptors 0
// and 1, the stdin and stdout streams and, on Windows, the process's
// standard handles all follow. Nothing is redirected when the copies can't
// be made. On POSIX a write to an output whose reader has gone then fails
// with EPIPE instead of ending the process by SIGPIPE, as such a write
// fails on Windows.
StandardStreamsTakeOver TakeOverStandardStreams();

// Reads from `stream`'s descriptor until `size` bytes have arrived or the
// input ends: a signal that interrupts the read resumes it, and a
// non-blocking input is waited on. Returns the count of bytes read; fewer
// than `size` means end of input, or a hard read failure when `*error` is
// set non-zero. The stream must be unbuffered, since its buffer is bypassed.
std::size_t ReadStream(FILE* stream, void* buffer, std::size_t size, uint32_t* error);

// Writes all `size` bytes to `stream`'s descriptor, through short writes,
// signals and a non-blocking output. Returns false on a hard write failure
// (the reader has gone), with `*error` set to its error number (errno, or
// GetLastError on Windows). The stream must be unbuffered.
bool WriteStream(FILE* stream, const void* data, std::size_t size, uint32_t* error);

}  // namespace platform
