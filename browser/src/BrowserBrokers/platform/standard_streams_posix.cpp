#include "platform/standard_streams.h"

#include <errno.h>
#include <fcntl.h>

namespace platform {

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

}  // namespace platform
