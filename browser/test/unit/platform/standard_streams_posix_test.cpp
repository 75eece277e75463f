#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "platform/standard_streams.h"

namespace {

// The host's "Cannot set binary mode" path: a stream whose descriptor has
// been closed under it.
TEST(StandardStreamsPosixTest, StreamOnAClosedDescriptorFailsWithEbadf) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  FILE* stream = fdopen(ends[0], "rb");
  ASSERT_NE(stream, nullptr);
  close(ends[0]);
  close(ends[1]);
  errno = 0;
  EXPECT_EQ(platform::SetBinaryMode(stream), -1);
  EXPECT_EQ(errno, EBADF);
  std::fclose(stream);  // fails on the closed descriptor, but frees the stream
}

}  // namespace
