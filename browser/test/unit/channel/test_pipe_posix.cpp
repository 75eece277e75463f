#include "test_pipe.h"

#include <gtest/gtest.h>
#include <unistd.h>

TestPipe OpenTestPipe() {
  int fds[2];
  if (pipe(fds) != 0) {
    ADD_FAILURE() << "pipe() failed";
    return {};
  }
  return TestPipe{fdopen(fds[0], "rb"), fdopen(fds[1], "wb")};
}
