#include "platform/standard_streams.h"
#include "platform/standard_streams_halves.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace platform {
namespace {

// Private copies live above the three standard descriptors, so redirecting
// those never touches them.
constexpr int kFirstPrivateDescriptor = STDERR_FILENO + 1;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// Waits until a non-blocking descriptor is ready. A failed poll is left to
// the read or write that follows, which then reports the real error.
void WaitUntilReady(int fd, short events) {
  pollfd entry{fd, events, 0};
  while (poll(&entry, 1, -1) == -1 && errno == EINTR) {
  }
}

FILE* PrivateCopy(int fd, const char* mode, uint32_t* error) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, kFirstPrivateDescriptor);
  if (copy == -1) {
    *error = static_cast<uint32_t>(errno);
    return nullptr;
  }
  FILE* stream = fdopen(copy, mode);
  if (stream == nullptr) {
    *error = static_cast<uint32_t>(errno);
    close(copy);
  }
  return stream;
}

bool Writable(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags != -1 && (flags & O_ACCMODE) != O_RDONLY;
}

// A handler, unlike SIG_IGN, is not inherited by programs the process
// starts, so they still get the default disposition.
void IgnoreSignal(int) {}

}  // namespace

void SurviveClosedOutput() {
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction quiet {};
  quiet.sa_handler = IgnoreSignal;
  sigemptyset(&quiet.sa_mask);
  quiet.sa_flags = SA_RESTART;
  sigaction(SIGPIPE, &quiet, nullptr);
}

FILE* PrivateStandardCopy(StandardStream which, uint32_t* error) {
  return which == StandardStream::kInput ? PrivateCopy(STDIN_FILENO, "rb", error)
                                         : PrivateCopy(STDOUT_FILENO, "wb", error);
}

// Points descriptor 0 at the null device and descriptor 1 at standard error
// (or the null device). Returns 0, or the first error number.
uint32_t RedirectStandardDescriptors() {
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null == -1) return static_cast<uint32_t>(errno);
  // With descriptor 2 closed, the null device lands there and becomes
  // standard error: a child started later must still find it open.
  if (null <= STDERR_FILENO) fcntl(null, F_SETFD, 0);
  uint32_t error = 0;
  if (dup2(null, STDIN_FILENO) == -1) error = static_cast<uint32_t>(errno);
  const int outputTarget = Writable(STDERR_FILENO) ? STDERR_FILENO : null;
  if (dup2(outputTarget, STDOUT_FILENO) == -1 && error == 0) {
    error = static_cast<uint32_t>(errno);
  }
  if (null > STDERR_FILENO) close(null);
  return error;
}

// POSIX streams carry bytes unchanged already; only check that the stream
// still stands on an open descriptor, as _setmode would.
int SetBinaryMode(FILE* stream) {
  if (stream == nullptr) {
    errno = EINVAL;
    return -1;
  }
  int fd = fileno(stream);
  if (fd < 0 || fcntl(fd, F_GETFD) == -1) return -1;
  return 0;
}

std::size_t ReadStream(FILE* stream, void* buffer, std::size_t size, uint32_t* error) {
  *error = 0;
  const int fd = fileno(stream);
  if (fd < 0) {  // a stream in memory: no descriptor, no signals to ride out
    const std::size_t got = std::fread(buffer, 1, size, stream);
    if (std::ferror(stream)) *error = static_cast<uint32_t>(errno);
    return got;
  }
  char* const bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, bytes + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno == EINTR) {
      continue;
    } else if (WouldBlock(errno)) {
      WaitUntilReady(fd, POLLIN);
    } else {
      *error = static_cast<uint32_t>(errno);
      break;
    }
  }
  return done;
}

bool WriteStream(FILE* stream, const void* data, std::size_t size, uint32_t* error) {
  *error = 0;
  const int fd = fileno(stream);
  if (fd < 0) {
    if (std::fwrite(data, 1, size, stream) == size && std::fflush(stream) == 0) return true;
    *error = static_cast<uint32_t>(errno);
    return false;
  }
  const char* const bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = write(fd, bytes + done, size - done);
    if (put >= 0) {
      done += static_cast<std::size_t>(put);
    } else if (errno == EINTR) {
      continue;
    } else if (WouldBlock(errno)) {
      WaitUntilReady(fd, POLLOUT);
    } else {
      *error = static_cast<uint32_t>(errno);
      return false;
    }
  }
  return true;
}

}  // namespace platform
