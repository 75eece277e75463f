// Where the frame writers send their bytes: standard output, which the host
// has put into binary mode without buffering before any writer runs.
#pragma once

#include <cstdio>

// The stream the writers use now.
FILE* ExtensionOutput();

// Sends the writers' frames to `stream` instead (null: back to standard
// output), so tests can read frames from a pipe.
void SetExtensionOutputForTesting(FILE* stream);
