// The listening end of the debug socket (debug_socket_path.h), shared by
// the debug monitor and the tests' line capture.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// A Unix datagram socket bound at `path`, mode 0600 from the start; -1 with
// errno set when that fails (ENAMETOOLONG for a path that does not fit).
int BindDebugSocket(const std::string& path);

// Receives datagrams on `socketFd` until `stopFd` becomes readable, handing
// each to `line`. After every batch of queued datagrams `batchDone` runs;
// when it returns false this stops and returns false, as it does when the
// socket can't be waited on any more. On a stop, what is still queued is
// handed on before this returns true. The socket's queue is
// short, so the caller runs this on a thread (or process) of its own that
// does nothing else.
bool ReceiveDebugLines(int socketFd, int stopFd,
                       const std::function<void(const char*, std::size_t)>& line,
                       const std::function<bool()>& batchDone);

}  // namespace platform
