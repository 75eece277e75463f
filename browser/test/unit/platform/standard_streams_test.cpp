#include "platform/standard_streams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

TEST(StandardStreamsTest, OpenStreamTakesBinaryMode) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::SetBinaryMode(file), 0);
  // No newline translation: the bytes come back as written.
  const char bytes[] = "a\r\nb\n\x1A" "c";
  ASSERT_EQ(std::fwrite(bytes, 1, sizeof(bytes) - 1, file), sizeof(bytes) - 1);
  std::rewind(file);
  char back[sizeof(bytes)] = {};
  EXPECT_EQ(std::fread(back, 1, sizeof(back), file), sizeof(bytes) - 1);
  EXPECT_STREQ(back, bytes);
  std::fclose(file);
}

TEST(StandardStreamsTest, NullStreamFailsWithErrno) {
  errno = 0;
  EXPECT_EQ(platform::SetBinaryMode(nullptr), -1);
  EXPECT_NE(errno, 0);
}

TEST(StandardStreamsTest, WholeWriteThenReadThatEndsShortAtEndOfFile) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(platform::SetBinaryMode(file), 0);
  const char bytes[] = "\x05\0\0\0\"a\r\nb\"";
  uint32_t error = 1;
  ASSERT_TRUE(platform::WriteStream(file, bytes, sizeof(bytes) - 1, &error));
  EXPECT_EQ(error, 0u);
  std::rewind(file);
  char back[32] = {};
  error = 1;
  EXPECT_EQ(platform::ReadStream(file, back, sizeof(back), &error), sizeof(bytes) - 1);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(std::memcmp(back, bytes, sizeof(bytes) - 1), 0);
  std::fclose(file);
}

}  // namespace
