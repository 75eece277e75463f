// corvantilhub-debug-monitor: prints the debug lines that Corvantilhub
// processes of this user write, one line per debug line, until stopped.
//
//   usage: corvantilhub-debug-monitor [--timestamps | --framed] [--help]
//     --timestamps  put the local time (HH:MM:SS.mmm) in front of each line
//     --framed      write each line as its length (4 bytes, little-endian)
//                   and its bytes, for programs that read the lines: a line
//                   may hold line breaks
//   Without --framed, control characters in a line are printed as JSON
//   escapes (\n, \u001B), so no line can drive the terminal.
//
// The host drops the lines that the socket's queue (a few datagrams) can't
// take at once, so this reads them as they come and leaves the waiting to
// its output, a pipe's buffer holding far more.
//
// It listens on the user's debug socket,
//   $XDG_RUNTIME_DIR/corvantilhub-debug.sock, or
//   /tmp/corvantilhub-<uid>/corvantilhub-debug.sock when XDG_RUNTIME_DIR is
//   unset or empty, in a folder of the user's alone (made with mode 0700; one
//   that is a link or another user's is refused, exit status 1),
// created with mode 0600. A socket of ours that nobody listens on any more
// is replaced; a live monitor, or a file there that is not our socket, is
// left alone and this one exits with status 1. SIGINT and SIGTERM end it
// (status 0) and remove the socket, after printing what is queued; so
// does a closed output (status 1).
#include <errno.h>
#include <fcntl.h>
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

#include "messages/json_escape.h"
#include "platform/debug_socket_listener_posix.h"
#include "platform/debug_socket_path.h"

namespace {

constexpr char kUsage[] =
    "usage: corvantilhub-debug-monitor [--timestamps | --framed] [--help]\n"
    "Prints the debug lines of this user's Corvantilhub processes until\n"
    "interrupted.\n"
    "  --timestamps  put the local time (HH:MM:SS.mmm) in front of each line\n"
    "  --framed      write each line as its length (4 bytes, little-endian)\n"
    "                and its bytes\n";

enum class Format { kPlain, kTimestamped, kFramed };

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

// Any process of the user may write to the socket: on a terminal, control
// characters (C0, DEL and the UTF-8 form of C1) go as JSON escapes, so a
// line can't move the cursor, retitle the window or forge a line of its own.
void PrintWithControlsEscaped(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    unsigned long unit = static_cast<unsigned char>(data[i]);
    const bool c1 = unit == 0xC2 && i + 1 < size &&
                    (static_cast<unsigned char>(data[i + 1]) & 0xE0) == 0x80;
    if (unit >= 0x20 && unit != 0x7F && !c1) {
      std::fputc(data[i], stdout);
      continue;
    }
    if (c1) unit = static_cast<unsigned char>(data[++i]);
    const JsonEscape escape = EscapeJsonUnit(unit, kJsonEscapeAscii);
    std::fwrite(escape.text, 1, escape.length, stdout);
  }
}

void PrintLine(const char* data, size_t size, Format format) {
  if (format == Format::kFramed) {
    const unsigned char length[4] = {
        static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    std::fwrite(length, 1, sizeof(length), stdout);
    std::fwrite(data, 1, size, stdout);
    return;
  }
  if (format == Format::kTimestamped) PrintTimestamp();
  PrintWithControlsEscaped(data, size);
  std::fputc('\n', stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Format format = Format::kPlain;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--timestamps") == 0) {
      format = Format::kTimestamped;
    } else if (std::strcmp(argv[i], "--framed") == 0) {
      format = Format::kFramed;
    } else {
      bool help = std::strcmp(argv[i], "--help") == 0;
      std::fputs(kUsage, help ? stdout : stderr);
      return help ? 0 : 2;
    }
  }

  std::string path = platform::DebugSocketPath();
  std::string problem;
  if (!platform::PrepareDebugSocketFolder(&problem)) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
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

  int socketFd = signals < 0 ? -1 : platform::BindDebugSocket(path);
  if (socketFd < 0) {
    std::perror(("cannot listen on " + path).c_str());
    return 1;
  }
  // A program reading the lines may be slow to come; its pipe then holds
  // them (where the system allows a bigger one than the default).
  if (format == Format::kFramed) fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
  std::fprintf(stderr, "listening on %s\n", path.c_str());

  // Prints until a signal arrives, and then what is still queued; stops
  // early when standard output fails (a closed pipe).
  const bool printed = platform::ReceiveDebugLines(
      socketFd, signals,
      [format](const char* data, size_t size) { PrintLine(data, size, format); },
      [] { return std::fflush(stdout) == 0; });
  close(socketFd);
  if (platform::IsOwnSocket(path)) unlink(path.c_str());
  return printed ? 0 : 1;
}
