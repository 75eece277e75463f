// Receives this process's debug lines on its debug socket. The socket's
// queue holds only ten datagrams, so a thread of its own drains it at once.
#include "support/debug_line_capture.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <thread>

#include "platform/debug_output_posix.h"
#include "platform/debug_socket_listener_posix.h"
#include "platform/debug_socket_path.h"
#include "support/captured_lines.h"

class DebugLineCapture::Receiver {
 public:
  explicit Receiver(CapturedLines* lines) : lines_(lines), path_(platform::DebugSocketPath()) {
    std::string problem;
    if (platform::IsOwnSocket(path_)) unlink(path_.c_str());  // left by a crashed run
    socket_ = platform::PrepareDebugSocketFolder(&problem) ? platform::BindDebugSocket(path_) : -1;
    if (socket_ < 0 || pipe2(stop_, O_CLOEXEC) != 0) {
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
    platform::ReceiveDebugLines(
        socket_, stop_[0],
        [this](const char* data, std::size_t size) { lines_->Add(std::string(data, size)); },
        [] { return true; });
  }

  void CloseAll() {
    if (socket_ >= 0 && platform::IsOwnSocket(path_)) unlink(path_.c_str());
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
