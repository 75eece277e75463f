// Puts a standard stream into binary mode (_setmode on its _fileno on
// Windows: no newline translation, no end-of-file character). POSIX streams
// are binary already.
#pragma once

#include <cstdio>

namespace platform {

// Returns 0 on success, -1 on failure with errno set.
int SetBinaryMode(FILE* stream);

}  // namespace platform
