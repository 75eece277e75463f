#include "platform/standard_streams.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>

namespace platform {

int SetBinaryMode(FILE* stream) {
  if (stream == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return _setmode(_fileno(stream), _O_BINARY) == -1 ? -1 : 0;
}

}  // namespace platform
