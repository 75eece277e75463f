// Preparation of the standard streams for framed binary traffic.
#pragma once

#include <cstdio>

// The streams that carry the frames.
struct ChannelStreams {
  FILE* input;
  FILE* output;
};

// Takes the process's standard streams over for the frames and prepares
// them with SetBinaryUnbuffered (input first; the output is left alone when
// the input fails). Called before any thread starts: the frames travel on
// private copies, while standard input reads from the null device and
// standard output goes to standard error, so a library that prints or reads
// there can't corrupt the channel. When no copies can be made, the debug
// line "Standard streams could not be duplicated: <code>" is written and the
// frames stay on the process's own stdin and stdout, if those can be
// prepared. A failed redirection is reported as "Standard streams could not
// be redirected: <code>"; the private copies carry the frames all the same.
// Returns false when the streams can't be prepared.
bool PrepareChannelStreams(ChannelStreams& channel);

// Puts `stream` into binary mode and switches its buffering off. Returns 0
// on success; -1 when binary mode can't be set, after perror("Cannot set
// binary mode"); otherwise the non-zero result of setvbuf, after
// perror("Cannot set zero buffer").
int SetBinaryUnbuffered(FILE* stream);
