// Each line goes as one datagram to the user's debug socket. Writing a line
// never makes the caller wait (frame writers log while they hold the output
// lock, so a stuck monitor would stall the host):
// - the socket path is looked at no more than once a second, so while no
//   monitor listens a line costs a clock read and no system call, and a
//   monitor started later gets lines within that second;
// - a monitor that is found gets lines through one socket connected to it,
//   one send each; when it ends, the path is followed again at once, so a
//   monitor that restarts loses nothing;
// - a line that the monitor's queue can't take at once is dropped and
//   counted; the next line that gets through is preceded by one line that
//   says how many were lost.
#include "platform/debug_output.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>

#include "platform/debug_output_posix.h"
#include "platform/debug_socket_path.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxLineBytes = 65000;
constexpr std::chrono::seconds kLookInterval{1};
constexpr int kSendFlags = MSG_DONTWAIT | MSG_NOSIGNAL;

// Callers may read errno right after logging (a failed call's cause), so
// the line's own failures must not show through.
class ErrnoKeeper {
 public:
  ErrnoKeeper() : saved_(errno) {}
  ~ErrnoKeeper() { errno = saved_; }

 private:
  int saved_;
};

// The way to the monitor, shared by every thread that logs (the main
// thread, frame writers, the watcher, agent and bridge threads) under
// monitorMutex. Both are constant-initialised and never destroyed, as lines
// may come from detached threads until the very end of the process.
struct MonitorLink {
  int fd = -1;  // connected to `socketFile` while not -1
  SocketFileIdentity socketFile;
  Clock::time_point nextLook{};  // the clock's epoch: look at the first line
  uint64_t lostLines = 0;
};

std::mutex monitorMutex;
MonitorLink monitor;

enum class Sent { kTaken, kQueueFull, kMonitorGone, kRefused };

// Cuts at kMaxLineBytes, backing up to the start of a UTF-8 sequence that
// would otherwise be split.
size_t CutLength(const char* data, size_t size) {
  if (size <= kMaxLineBytes) return size;
  size_t cut = kMaxLineBytes;
  for (int back = 0; back < 3 && (static_cast<uint8_t>(data[cut]) & 0xC0) == 0x80; ++back)
    --cut;
  return cut;
}

void Disconnect() {
  if (monitor.fd >= 0) close(monitor.fd);
  monitor.fd = -1;
}

// A connected socket sends to the socket that the path named when it
// connected, so a file bound at the path later by someone else never gets
// our lines: the path is only followed again on the next look.
void Connect(const std::string& path, const SocketFileIdentity& socketFile) {
  Disconnect();
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) return;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);  // a socket file that nobody is bound to any more
    return;
  }
  monitor.fd = fd;
  monitor.socketFile = socketFile;
}

// A monitor may have started, ended or been replaced since the last look.
void LookForMonitor(Clock::time_point now) {
  monitor.nextLook = now + kLookInterval;
  std::string path = DebugSocketPath();
  SocketFileIdentity socketFile;
  if (!IsOwnSocket(path, &socketFile)) return Disconnect();
  if (monitor.fd >= 0 && socketFile == monitor.socketFile) return;
  Connect(path, socketFile);
}

Sent SendDatagram(const char* data, size_t size) {
  ssize_t result;
  do {
    result = send(monitor.fd, data, size, kSendFlags);
  } while (result < 0 && errno == EINTR);
  if (result >= 0) return Sent::kTaken;
  switch (errno) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case ENOBUFS:
      return Sent::kQueueFull;
    case ECONNREFUSED:
    case ECONNRESET:
    case ENOTCONN:
    case EPIPE:
      return Sent::kMonitorGone;
    default:
      return Sent::kRefused;  // this line only
  }
}

std::string LostLinesReport(uint64_t count) {
  return "Debug output: " + std::to_string(count) + (count == 1 ? " line" : " lines") +
         " lost while the monitor was not reading";
}

// Sends one line, preceded by the report of lost lines when there are some.
Sent SendToMonitor(const char* data, size_t size) {
  Sent sent = Sent::kTaken;
  if (monitor.lostLines > 0) {
    std::string report = LostLinesReport(monitor.lostLines);
    sent = SendDatagram(report.data(), report.size());
    if (sent == Sent::kTaken) monitor.lostLines = 0;
  }
  if (sent == Sent::kTaken) sent = SendDatagram(data, size);
  if (sent == Sent::kQueueFull) ++monitor.lostLines;
  return sent;
}

// Sends the line that `utf8Line()` gives (a std::string or string_view),
// which is only made when a monitor listens: while none does, a wide line
// costs no conversion.
template <typename Utf8Line>
void SendLine(Utf8Line utf8Line) {
  ErrnoKeeper keepErrno;
  std::lock_guard<std::mutex> hold(monitorMutex);
  Clock::time_point now = Clock::now();
  if (now >= monitor.nextLook) LookForMonitor(now);
  if (monitor.fd < 0) return;
  const auto line = utf8Line();
  const char* data = line.data();
  const size_t size = CutLength(data, line.size());
  if (SendToMonitor(data, size) != Sent::kMonitorGone) return;
  // The monitor ended, perhaps to start again at once: follow the path
  // anew for this line.
  Disconnect();
  LookForMonitor(now);
  if (monitor.fd >= 0 && SendToMonitor(data, size) == Sent::kMonitorGone) Disconnect();
}

}  // namespace

void OutputDebugLineW(const std::wstring& line) {
  // The Windows call sees the text up to its first NUL. Every unit gives at
  // least one byte, so units beyond the byte limit can't reach the socket.
  SendLine([&line] { return TerminatedTextAsUtf8(line, kMaxLineBytes + 1); });
}

void OutputDebugLineA(const char* line) {
  if (line == nullptr) return;
  SendLine([line] { return std::string_view(line); });
}

void LookForDebugMonitorAtNextLine() {
  std::lock_guard<std::mutex> hold(monitorMutex);
  Disconnect();  // the new socket file may reuse the old one's inode number
  monitor.nextLook = Clock::time_point{};
}

}  // namespace platform
