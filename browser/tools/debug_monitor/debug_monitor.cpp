// corvantilhub-debug-monitor: prints the debug lines that Corvantilhub
// processes of this user write, one line per debug line, until stopped.
//
//   usage: corvantilhub-debug-monitor [--timestamps] [--help]
//     --timestamps  put the local time (HH:MM:SS.mmm) in front of each line
//
// It listens on the user's debug socket,
//   $XDG_RUNTIME_DIR/corvantilhub-debug.sock, or
//   /tmp/corvantilhub-debug-<uid>.sock when XDG_RUNTIME_DIR is unset or empty,
// created with mode 0600. A socket of ours that nobody listens on any more
// is replaced; a live monitor, or a file there that is not our socket, is
// left alone and this one exits with status 1. SIGINT and SIGTERM end it
// (status 0) and remove the socket; so does a closed output (status 1).
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/debug_socket_path.h"

namespace {

constexpr char kUsage[] =
    "usage: corvantilhub-debug-monitor [--timestamps] [--help]\n"
    "Prints the debug lines of this user's Corvantilhub processes until\n"
    "interrupted.\n"
    "  --timestamps  put the local time (HH:MM:SS.mmm) in front of each line\n";

bool IsListenedTo(const sockaddr_un& address) {
  int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  bool live = probe >= 0 &&
              connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  if (probe >= 0) close(probe);
  return live;
}

// Clears the way for our socket; false (with a message) when we must not.
bool ClaimPath(const std::string& path, const sockaddr_un& address) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return true;
  if (!platform::IsOwnSocket(path)) {
    std::fprintf(stderr, "%s exists and is not our socket; leaving it alone\n", path.c_str());
    return false;
  }
  if (IsListenedTo(address)) {
    std::fprintf(stderr, "another monitor is listening on %s\n", path.c_str());
    return false;
  }
  unlink(path.c_str());
  return true;
}

void PrintTimestamp() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  localtime_r(&now.tv_sec, &local);
  char clock[16];
  strftime(clock, sizeof(clock), "%H:%M:%S", &local);
  std::printf("%s.%03ld ", clock, now.tv_nsec / 1000000);
}

// Prints datagrams until a signal arrives on `signals`; false when standard
// output fails (a closed pipe).
bool PrintLines(int socketFd, int signals, bool timestamps) {
  std::string buffer(1 << 17, '\0');
  pollfd watched[2] = {{socketFd, POLLIN, 0}, {signals, POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0) continue;
    if (watched[1].revents != 0) return true;
    ssize_t size = recv(socketFd, &buffer[0], buffer.size(), MSG_DONTWAIT);
    if (size < 0) continue;
    if (timestamps) PrintTimestamp();
    std::fwrite(buffer.data(), 1, static_cast<size_t>(size), stdout);
    std::fputc('\n', stdout);
    if (std::fflush(stdout) != 0) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool timestamps = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--timestamps") == 0) {
      timestamps = true;
    } else {
      bool help = std::strcmp(argv[i], "--help") == 0;
      std::fputs(kUsage, help ? stdout : stderr);
      return help ? 0 : 2;
    }
  }

  std::string path = platform::DebugSocketPath();
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) {
    std::fprintf(stderr, "socket path too long: %s\n", path.c_str());
    return 1;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (!ClaimPath(path, address)) return 1;

  // The signals arrive as readable data, so a stop is never missed between
  // two polls; a closed output pipe shows as a failed write instead.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);

  int socketFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  umask(0177);  // the socket file is never open to others, not even briefly
  if (signals < 0 || socketFd < 0 ||
      bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      chmod(path.c_str(), 0600) != 0) {
    std::perror(("cannot listen on " + path).c_str());
    return 1;
  }
  std::fprintf(stderr, "listening on %s\n", path.c_str());

  bool printed = PrintLines(socketFd, signals, timestamps);
  close(socketFd);
  if (platform::IsOwnSocket(path)) unlink(path.c_str());
  return printed ? 0 : 1;
}
