// Where debug lines go on POSIX systems, shared by the sender
// (debug_output_posix.cpp), the debug monitor and the tests' line capture.
//
// The socket is a Unix datagram socket at
//   $XDG_RUNTIME_DIR/corvantilhub-debug.sock, or
//   /tmp/corvantilhub-debug-<uid>.sock when XDG_RUNTIME_DIR is unset or empty.
// Only a socket owned by the effective user is ever written to or replaced,
// so another user can't read or intercept our lines.
#pragma once

#include <string>

namespace platform {

// Resolved afresh on every call from the environment.
std::string DebugSocketPath();

// True when `path` names a socket (not a link to one) owned by the
// effective user.
bool IsOwnSocket(const std::string& path);

}  // namespace platform
