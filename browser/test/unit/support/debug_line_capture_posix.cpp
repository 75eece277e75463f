// Receives this process's debug lines on its debug socket. The socket's
// queue holds only ten datagrams, so a thread of its own drains it at once.
#include "support/debug_line_capture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/debug_output_posix.h"
#include "platform/debug_socket_path.h"
#include "support/captured_lines.h"

class DebugLineCapture::Receiver {
 public:
  explicit Receiver(CapturedLines* lines) : lines_(lines), path_(platform::DebugSocketPath()) {
    sockaddr_un address{};
    if (path_.size() >= sizeof(address.sun_path)) return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    if (platform::IsOwnSocket(path_)) unlink(path_.c_str());  // left by a crashed run

    socket_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        chmod(path_.c_str(), 0600) != 0 || pipe2(stop_, O_CLOEXEC) != 0) {
      CloseAll();
      return;
    }
    bound_ = true;
    thread_ = std::thread([this] { Run(); });
    platform::LookForDebugMonitorAtNextLine();
  }

  ~Receiver() {
    if (thread_.joinable()) {
      char stop = 1;
      while (write(stop_[1], &stop, 1) < 0 && errno == EINTR) {
      }
      thread_.join();
    }
    CloseAll();
  }

  bool listening() const { return bound_; }

 private:
  void Run() {
    std::string buffer(1 << 17, '\0');
    pollfd watched[2] = {{socket_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    for (;;) {
      if (poll(watched, 2, -1) < 0) continue;  // EINTR
      if (watched[1].revents != 0) return;
      ssize_t size;
      while ((size = recv(socket_, &buffer[0], buffer.size(), MSG_DONTWAIT)) >= 0)
        lines_->Add(buffer.substr(0, static_cast<size_t>(size)));
    }
  }

  void CloseAll() {
    if (bound_ && platform::IsOwnSocket(path_)) unlink(path_.c_str());
    for (int fd : {socket_, stop_[0], stop_[1]})
      if (fd >= 0) close(fd);
    socket_ = stop_[0] = stop_[1] = -1;
  }

  CapturedLines* lines_;
  std::string path_;
  int socket_ = -1;
  int stop_[2] = {-1, -1};
  bool bound_ = false;
  std::thread thread_;
};

DebugLineCapture::DebugLineCapture()
    : lines_(std::make_unique<CapturedLines>()),
      receiver_(std::make_unique<Receiver>(lines_.get())) {}

DebugLineCapture::~DebugLineCapture() = default;

bool DebugLineCapture::Available() const { return receiver_->listening(); }

bool DebugLineCapture::CarriesAllCharacters() const { return true; }
