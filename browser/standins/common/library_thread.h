// Work that a stand-in library does later, on a thread of its own, the way
// the real libraries answer from their own threads.
#pragma once

#include <functional>

namespace standins {

// Runs `task` once on a new detached thread. The task owns what it needs.
void RunOnLibraryThread(std::function<void()> task);

}  // namespace standins
