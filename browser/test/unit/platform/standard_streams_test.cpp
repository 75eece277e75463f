#include "platform/standard_streams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

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

}  // namespace
