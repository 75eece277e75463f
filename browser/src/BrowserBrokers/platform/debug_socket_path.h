// Where debug lines go on POSIX systems, shared by the sender
// (debug_output_posix.cpp), the debug monitor and the tests' line capture.
//
// The socket is a Unix datagram socket at
//   $XDG_RUNTIME_DIR/corvantilhub-debug.sock, or
//   /tmp/corvantilhub-<uid>/corvantilhub-debug.sock when XDG_RUNTIME_DIR is
//   unset or empty: a folder of the user's own, mode 0700, which the
//   listening side makes; no other user can take the socket's name there.
// Only a socket owned by the effective user is ever written to or replaced,
// so another user can't read or intercept our lines.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// Resolved afresh on every call from the environment.
std::string DebugSocketPath();

// For a listener, before it binds DebugSocketPath(): makes the private
// folder that the path names when XDG_RUNTIME_DIR is unset (see
// MakePrivateFolder). True at once when XDG_RUNTIME_DIR is set.
bool PrepareDebugSocketFolder(std::string* problem);

// Makes `folder` the effective user's alone: created with mode 0700 when
// missing, set back to 0700 when it is ours with another mode. False, with
// what is wrong in `problem`, when it is a link, not a folder or another
// user's: such a folder is left as it is.
bool MakePrivateFolder(const std::string& folder, std::string* problem);

// Which socket file a path named when it was looked at: a monitor that
// binds the path anew makes a new one.
struct SocketFileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const SocketFileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
};

// True when `path` names a socket (not a link to one) owned by the
// effective user; `identity`, when given, then tells which one.
bool IsOwnSocket(const std::string& path, SocketFileIdentity* identity = nullptr);

}  // namespace platform
