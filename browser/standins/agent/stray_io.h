// Opt-in misbehaviour toward the process's standard streams, the way a
// closed library in the host's process might behave, so that tests can show
// that the host's channel to the extension stays whole:
//
// - HARROWMERE_NOISE=1: every SDK call prints to standard output through
//   printf, std::cout and the raw descriptor or handle, and reads from
//   standard input, on the calling thread and again from a library thread.
// - HARROWMERE_SIGNAL_HANDLER=1 (POSIX only): when the library is loaded,
//   it installs a SIGUSR1 handler without SA_RESTART, so that a SIGUSR1
//   interrupts whatever system call the receiving thread is in.
#pragma once

#include <cstddef>
#include <string>

namespace harrowmere {

// Makes the noise of one SDK call when HARROWMERE_NOISE=1. Called from any
// thread.
void MakeNoiseIfAsked();

// The platform's halves (stray_io_posix.cpp, stray_io_win.cpp).

// Writes `text` with one raw write to the descriptor or handle of standard
// output, past the C runtime.
void WriteRawStandardOutput(const std::string& text);

// Reads up to `size` bytes with one raw read from standard input; returns
// the count read (0 at end of input or on failure).
std::size_t ReadRawStandardInput(char* buffer, std::size_t size);

}  // namespace harrowmere
