#include "test_pipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

TestPipe OpenTestPipe() {
  int fds[2];
  if (_pipe(fds, 65536, _O_BINARY) != 0) {
    ADD_FAILURE() << "_pipe() failed";
    return {};
  }
  return TestPipe{_fdopen(fds[0], "rb"), _fdopen(fds[1], "wb")};
}

// The C runtime here has no streams with reads of one's own.
FILE* OpenStreamFailingAfter(const std::string&) { return nullptr; }
