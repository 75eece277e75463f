#include "platform/debug_socket_listener_posix.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace platform {

int BindDebugSocket(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // The socket file is never open to others, not even briefly.
  const mode_t previousMask = umask(0177);
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  umask(previousMask);
  if (!bound || chmod(path.c_str(), 0600) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool ReceiveDebugLines(int socketFd, int stopFd,
                       const std::function<void(const char*, std::size_t)>& line,
                       const std::function<bool()>& batchDone) {
  std::string buffer(1 << 17, '\0');
  pollfd watched[2] = {{socketFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // A socket that is gone would wake every poll at once, forever.
    if ((watched[0].revents & (POLLERR | POLLNVAL)) != 0) return false;
    const bool stopping = watched[1].revents != 0;
    ssize_t size;
    while ((size = recv(socketFd, &buffer[0], buffer.size(), MSG_DONTWAIT)) >= 0)
      line(buffer.data(), static_cast<std::size_t>(size));
    if (!batchDone()) return false;
    if (stopping) return true;
  }
}

}  // namespace platform
