// The read loop at the inbound size limit and when memory runs out,
// in-process over a real stream (the framing cases are exercised through the
// host process itself).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "allocation_limit.h"
#include "channel/read_loop.h"
#include "handling/message_handler.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using Tabs = std::vector<std::wstring>;

std::string Length(uint32_t length) {
  char bytes[sizeof(length)];
  std::memcpy(bytes, &length, sizeof(length));  // native order, as the host reads it
  return std::string(bytes, sizeof(bytes));
}

std::string Frame(const std::string& body) {
  return Length(static_cast<uint32_t>(body.size())) + body;
}

std::string CloseTab(const std::string& tabID) {
  return R"({"tabID":")" + tabID + R"(","type":"closeTab"})";
}

class ReadLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { agent_double::Reset(); }

  // Runs the loop over `input` to its end; returns the tabs closed.
  Tabs RunLoopOver(const std::string& input) {
    FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    if (stream == nullptr) return {};
    std::fwrite(input.data(), 1, input.size(), stream);
    std::rewind(stream);
    RunReadLoop(stream, handler_);
    std::fclose(stream);
    Tabs tabs;
    for (const auto& call : agent_double::CallsTo("OnTabClosed")) tabs.push_back(call.texts[0]);
    return tabs;
  }

  DebugLineCapture debug_;
  CMessageHandler handler_{[](const std::wstring&, const std::wstring&) {}};
};

TEST_F(ReadLoopTest, TakesAFrameOfExactlyTheLimit) {
  std::string body = CloseTab("limit");
  body.push_back('\0');  // keeps the handled text short
  body.resize(kMaxInboundFrameBytes, ' ');
  EXPECT_EQ(RunLoopOver(Frame(body)), Tabs{L"limit"});
}

TEST_F(ReadLoopTest, DiscardsALongerFrameAndStaysInStep) {
  const uint32_t announced = kMaxInboundFrameBytes + 1;
  // The discarded body looks like frames itself; none of it may be handled.
  std::string body;
  while (body.size() < static_cast<size_t>(announced)) body += Frame(CloseTab("inside"));
  body.resize(announced);
  EXPECT_EQ(RunLoopOver(Length(announced) + body + Frame(CloseTab("after"))), Tabs{L"after"});
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Inbound frame discarded: length 67108865 exceeds 67108864"));
  }

  agent_double::Reset();
  EXPECT_EQ(RunLoopOver(Frame(CloseTab("a")) + Length(INT32_MAX) + std::string(1000, 'x')),
            Tabs{L"a"});
}

TEST_F(ReadLoopTest, LengthsWithTheTopBitSetAreCountsOfBodyBytes) {
  // Read as signed, these were skipped and their bodies taken for frames.
  for (const uint32_t announced : {0x80000000u, 0xC0000000u, 0xFFFFFFFFu}) {
    agent_double::Reset();
    const std::string smuggled = Frame(CloseTab("smuggled"));
    EXPECT_EQ(RunLoopOver(Frame(CloseTab("before")) + Length(announced) + smuggled + smuggled),
              Tabs{L"before"})
        << announced;
    if (debug_.Available()) {
      EXPECT_TRUE(debug_.WaitForLine("Inbound frame discarded: length " +
                                     std::to_string(announced) + " exceeds 67108864"));
    }
  }
}

TEST_F(ReadLoopTest, DropsAFrameThatRunsOutOfMemoryAndReadsOn) {
  // A message of 1 MiB whose wide text alone needs 2 MiB or more; then the
  // same message when even its body can't be had.
  const std::string big = R"({"tabID":"big","type":"closeTab","pad":")" +
                          std::string(1 << 20, 'x') + R"("})";
  const std::string input = Frame(CloseTab("a")) + Frame(big) + Frame(CloseTab("b"));
  {
    const AllocationLimit limit(2 << 20);
    EXPECT_EQ(RunLoopOver(input), (Tabs{L"a", L"b"}));
  }
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Inbound frame dropped: out of memory, length " +
                                   std::to_string(big.size())));
  }

  agent_double::Reset();
  {
    const AllocationLimit limit(big.size());  // the body's buffer is one byte more
    EXPECT_EQ(RunLoopOver(input), (Tabs{L"a", L"b"}));
  }
}

}  // namespace
}  // namespace browser_extensions
