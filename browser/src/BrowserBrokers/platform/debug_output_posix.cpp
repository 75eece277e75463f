// Each line goes as one datagram to the user's debug socket. Sending never
// blocks the caller for long: without a listener a line costs a stat and a
// failed sendto; a listener whose queue is full gets a short grace period,
// so that bursts reach a live monitor whole, and then the line is dropped.
#include "platform/debug_output.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/debug_socket_path.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

constexpr size_t kMaxLineBytes = 65000;
constexpr std::chrono::milliseconds kQueueFullGrace{100};
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

// One unbound socket serves every thread: concurrent sendto calls on a
// datagram socket are safe. It is never closed, as lines may come from
// detached threads until the very end of the process.
int SharedSocket() {
  static std::atomic<int> shared{-1};
  int fd = shared.load(std::memory_order_acquire);
  if (fd >= 0) return fd;
  int fresh = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fresh < 0) return -1;
  if (shared.compare_exchange_strong(fd, fresh, std::memory_order_acq_rel))
    return fresh;
  close(fresh);  // another thread was first; `fd` now holds its socket
  return fd;
}

// Cuts at kMaxLineBytes, backing up to the start of a UTF-8 sequence that
// would otherwise be split.
size_t CutLength(const char* data, size_t size) {
  if (size <= kMaxLineBytes) return size;
  size_t cut = kMaxLineBytes;
  for (int back = 0; back < 3 && (static_cast<uint8_t>(data[cut]) & 0xC0) == 0x80; ++back)
    --cut;
  return cut;
}

// The listener's queue is full. Only a connected socket lets poll wait
// for room in the listener's queue, so use one for this line.
void SendWhenRoom(const sockaddr_un& address, const char* data, size_t size) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    auto deadline = std::chrono::steady_clock::now() + kQueueFullGrace;
    while (send(fd, data, size, kSendFlags) < 0 &&
           (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd room{fd, POLLOUT, 0};
      poll(&room, 1, static_cast<int>(left.count()));
    }
  }
  close(fd);
}

void SendLine(const char* data, size_t size) {
  ErrnoKeeper keepErrno;
  std::string path = DebugSocketPath();
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path) || !IsOwnSocket(path)) return;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  int fd = SharedSocket();
  if (fd < 0) return;
  size = CutLength(data, size);
  if (sendto(fd, data, size, kSendFlags, reinterpret_cast<const sockaddr*>(&address),
             sizeof(address)) >= 0)
    return;
  if (errno == EAGAIN || errno == EWOULDBLOCK) SendWhenRoom(address, data, size);
  // Anything else (nobody bound, a vanished socket) drops the line.
}

}  // namespace

void OutputDebugLineW(const std::wstring& line) {
  // The Windows call sees the text up to its first NUL. Every unit gives at
  // least one byte, so units beyond the byte limit can't reach the socket.
  const std::string utf8 = TerminatedTextAsUtf8(line, kMaxLineBytes + 1);
  SendLine(utf8.data(), utf8.size());
}

void OutputDebugLineA(const char* line) {
  if (line == nullptr) return;
  SendLine(line, std::strlen(line));
}

}  // namespace platform
