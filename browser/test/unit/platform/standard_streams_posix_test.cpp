#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

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

namespace {

struct Pipe {
  FILE* readEnd;
  FILE* writeEnd;
};

Pipe OpenPipe(int nonBlockingEnd) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  fcntl(ends[nonBlockingEnd], F_SETFL, fcntl(ends[nonBlockingEnd], F_GETFL) | O_NONBLOCK);
  return {fdopen(ends[0], "rb"), fdopen(ends[1], "wb")};
}

TEST(StandardStreamsPosixTest, ReadWaitsOnANonBlockingPipeUntilTheCountIsWhole) {
  Pipe ends = OpenPipe(0);
  std::thread writer([&] {
    for (const char* piece : {"abc", "defg", "h"}) {
      uint32_t error = 0;
      ASSERT_TRUE(platform::WriteStream(ends.writeEnd, piece, std::strlen(piece), &error));
    }
    std::fclose(ends.writeEnd);
  });
  char got[9] = {};
  uint32_t error = 1;
  EXPECT_EQ(platform::ReadStream(ends.readEnd, got, 8, &error), 8u);
  EXPECT_EQ(error, 0u);
  EXPECT_STREQ(got, "abcdefgh");
  writer.join();
  // End of input: nothing more, and no failure.
  EXPECT_EQ(platform::ReadStream(ends.readEnd, got, 8, &error), 0u);
  EXPECT_EQ(error, 0u);
  std::fclose(ends.readEnd);
}

TEST(StandardStreamsPosixTest, ReadReportsAHardFailure) {
  Pipe ends = OpenPipe(0);
  char got[4];
  uint32_t error = 0;
  EXPECT_EQ(platform::ReadStream(ends.writeEnd, got, sizeof(got), &error), 0u);
  EXPECT_EQ(error, static_cast<uint32_t>(EBADF));
  std::fclose(ends.readEnd);
  std::fclose(ends.writeEnd);
}

TEST(StandardStreamsPosixTest, WriteGoesOnThroughAFullNonBlockingPipe) {
  Pipe ends = OpenPipe(1);
  // Far more than a pipe holds, so the writer meets a full pipe many times.
  std::string sent(4 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7);
  std::string received;
  std::thread reader([&] {
    char chunk[65536];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof(chunk), ends.readEnd)) > 0) {
      received.append(chunk, count);
    }
  });
  uint32_t error = 0;
  EXPECT_TRUE(platform::WriteStream(ends.writeEnd, sent.data(), sent.size(), &error));
  std::fclose(ends.writeEnd);
  reader.join();
  std::fclose(ends.readEnd);
  EXPECT_TRUE(received == sent);
}

}  // namespace
