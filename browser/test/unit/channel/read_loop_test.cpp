// The read loop at the inbound size limit and when memory runs out,
// in-process over a real stream, with a receiver that collects the frames
// (the framing cases are exercised through the host process itself).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "allocation_limit.h"
#include "channel/read_loop.h"
#include "platform/debug_output.h"
#include "support/debug_line_capture.h"
#include "test_pipe.h"

namespace browser_extensions {
namespace {

using Texts = std::vector<std::string>;

std::string Length(uint32_t length) {
  char bytes[sizeof(length)];
  std::memcpy(bytes, &length, sizeof(length));  // native order, as the host reads it
  return std::string(bytes, sizeof(bytes));
}

std::string Frame(const std::string& body) {
  return Length(static_cast<uint32_t>(body.size())) + body;
}

class ReadLoopTest : public ::testing::Test {
 protected:
  // Runs the loop over `input` to its end; returns the texts received. Like
  // the host's handler, the receiver makes a wide copy of each text, which
  // takes more memory than the body itself.
  Texts RunLoopOver(const std::string& input) {
    FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    if (stream == nullptr) return {};
    std::fwrite(input.data(), 1, input.size(), stream);
    std::rewind(stream);
    return RunLoopOn(stream);
  }

  Texts RunLoopOn(FILE* stream) {
    Texts received;
    RunReadLoop(stream, [&received](const char* text) {
      const std::string narrow(text);
      const std::wstring wide(narrow.begin(), narrow.end());
      EXPECT_EQ(wide.size(), narrow.size());
      received.push_back(narrow);
    });
    std::fclose(stream);
    return received;
  }

  DebugLineCapture debug_;
};

TEST_F(ReadLoopTest, TakesAFrameOfExactlyTheLimit) {
  std::string body = "limit";
  body.push_back('\0');  // keeps the handled text short
  body.resize(kMaxInboundFrameBytes, ' ');
  EXPECT_EQ(RunLoopOver(Frame(body)), Texts{"limit"});
}

TEST_F(ReadLoopTest, DiscardsALongerFrameAndStaysInStep) {
  const uint32_t announced = kMaxInboundFrameBytes + 1;
  // The discarded body looks like frames itself; none of it may be handled.
  std::string body;
  while (body.size() < static_cast<size_t>(announced)) body += Frame("inside");
  body.resize(announced);
  EXPECT_EQ(RunLoopOver(Length(announced) + body + Frame("after")), Texts{"after"});
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Inbound frame discarded: length 67108865 exceeds 67108864"));
  }

  EXPECT_EQ(RunLoopOver(Frame("a") + Length(INT32_MAX) + std::string(1000, 'x')), Texts{"a"});
}

TEST_F(ReadLoopTest, LengthsWithTheTopBitSetAreCountsOfBodyBytes) {
  // Read as signed, these were skipped and their bodies taken for frames.
  for (const uint32_t announced : {0x80000000u, 0xC0000000u, 0xFFFFFFFFu}) {
    const std::string smuggled = Frame("smuggled");
    EXPECT_EQ(RunLoopOver(Frame("before") + Length(announced) + smuggled + smuggled),
              Texts{"before"})
        << announced;
    if (debug_.Available()) {
      EXPECT_TRUE(debug_.WaitForLine("Inbound frame discarded: length " +
                                     std::to_string(announced) + " exceeds 67108864"));
    }
  }
}

TEST_F(ReadLoopTest, AFailedReadInsideABodyEndsTheLoopWithOneLine) {
  FILE* stream = OpenStreamFailingAfter(Frame("whole") + Length(100) + "cut by a failure");
  if (stream == nullptr) GTEST_SKIP() << "no stream here whose reads fail on demand";
  // What came of the body before the failure is not handed on.
  EXPECT_EQ(RunLoopOn(stream), Texts{"whole"});
  if (debug_.Available()) {
    platform::OutputDebugLineW(L"read loop test marker");
    ASSERT_TRUE(debug_.WaitForLine("read loop test marker"));
    const Texts lines = debug_.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Standard input read failed: 5"), 1);
  }
}

TEST_F(ReadLoopTest, DropsAFrameThatRunsOutOfMemoryAndReadsOn) {
  // A message of 1 MiB whose wide copy alone needs 2 MiB or more; then the
  // same message when even its body can't be had.
  const std::string big = "big" + std::string(1 << 20, 'x');
  const std::string input = Frame("a") + Frame(big) + Frame("b");
  {
    const AllocationLimit limit(2 << 20);
    EXPECT_EQ(RunLoopOver(input), (Texts{"a", "b"}));
  }
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Inbound frame dropped: out of memory, length " +
                                   std::to_string(big.size())));
  }

  {
    const AllocationLimit limit(big.size());  // the body's buffer is one byte more
    EXPECT_EQ(RunLoopOver(input), (Texts{"a", "b"}));
  }
}

}  // namespace
}  // namespace browser_extensions
