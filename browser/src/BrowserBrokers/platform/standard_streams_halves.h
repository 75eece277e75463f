// What each platform half of standard_streams gives the neutral part
// (standard_streams.cpp), which puts the take-over together.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform {

enum class StandardStream { kInput, kOutput };

// A private, non-inheritable copy of standard input or output as a binary
// stream; null with `*error` set when it can't be made.
FILE* PrivateStandardCopy(StandardStream which, uint32_t* error);

// Makes a write to an output whose reader has gone fail instead of ending
// the process (POSIX: SIGPIPE gets a handler that does nothing, unless a
// library has already chosen what it does).
void SurviveClosedOutput();

// Points standard input at the null device and standard output at standard
// error (or the null device). Returns 0, or the first error.
uint32_t RedirectStandardDescriptors();

}  // namespace platform
