#include "test_pipe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

TestPipe OpenTestPipe() {
  int fds[2];
  if (pipe(fds) != 0) {
    ADD_FAILURE() << "pipe() failed";
    return {};
  }
  return TestPipe{fdopen(fds[0], "rb"), fdopen(fds[1], "wb")};
}

FILE* OpenStreamFailingAfter(const std::string& bytes) {
  static std::string rest;
  rest = bytes;
  cookie_io_functions_t calls{};
  calls.read = [](void*, char* buffer, size_t size) -> ssize_t {
    if (rest.empty()) {
      errno = EIO;
      return -1;
    }
    const size_t given = rest.copy(buffer, std::min(size, rest.size()));
    rest.erase(0, given);
    return static_cast<ssize_t>(given);
  };
  return fopencookie(nullptr, "rb", calls);
}
