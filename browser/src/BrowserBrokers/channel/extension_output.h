// Where the frame writers send their bytes: the host's private copy of its
// standard output (standard output itself until the host names it), put
// into binary mode without buffering before any writer runs.
#pragma once

#include <cstdio>

// The stream the writers use now.
FILE* ExtensionOutput();

// Called once by the entry point, before any writer can run.
void SetExtensionOutput(FILE* stream);

// Sends the writers' frames to `stream` instead (null: back to the
// extension output), so tests can read frames from a pipe.
void SetExtensionOutputForTesting(FILE* stream);
