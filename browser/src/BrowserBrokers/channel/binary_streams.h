// Preparation of a standard stream for framed binary traffic.
#pragma once

#include <cstdio>

// Puts `stream` into binary mode and switches its buffering off. Returns 0
// on success; -1 when binary mode can't be set, after perror("Cannot set
// binary mode"); otherwise the non-zero result of setvbuf, after
// perror("Cannot set zero buffer").
int SetBinaryUnbuffered(FILE* stream);
