// The read loop over a stream of frames: framing edge cases, the exact
// "XPath" check, and frames over the inbound limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "channel/read_loop.h"
#include "designer/bridge_state.h"
#include "handling/message_handler.h"
#include "platform/debug_output.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

std::string Length(int32_t length) {
  char bytes[sizeof(length)];
  std::memcpy(bytes, &length, sizeof(length));  // native order, as the host reads it
  return std::string(bytes, sizeof(bytes));
}

std::string Frame(const std::string& body) {
  return Length(static_cast<int32_t>(body.size())) + body;
}

std::string CloseTab(const std::string& tabID) {
  return R"({"tabID":")" + tabID + R"(","type":"closeTab"})";
}

std::string OfType(const std::string& type) {
  return R"({"tabID":"1","type":")" + type + R"("})";
}

class ReadLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agent_double::Reset();
    ResetBridgeStateForTesting();  // no designer: relays only log
    input_ = std::tmpfile();
    ASSERT_NE(input_, nullptr);
  }
  void TearDown() override { std::fclose(input_); }

  void Write(const std::string& bytes) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), input_), bytes.size());
  }

  // Runs the loop over everything written so far, to its end.
  void RunLoop() {
    std::rewind(input_);
    RunReadLoop(input_, handler_);
  }

  std::vector<std::wstring> ClosedTabs() {
    std::vector<std::wstring> tabs;
    for (const auto& call : agent_double::CallsTo("OnTabClosed")) tabs.push_back(call.texts[0]);
    return tabs;
  }

  // Every debug line so far, once a marker written after them has arrived.
  std::vector<std::string> DebugLinesSoFar() {
    platform::OutputDebugLineW(L"-- end of test lines --");
    EXPECT_TRUE(debug_.WaitForLine("-- end of test lines --"));
    return debug_.Lines();
  }

  FILE* input_ = nullptr;
  DebugLineCapture debug_;
  CMessageHandler handler_{[](const std::wstring&, const std::wstring&) {}};
};

TEST_F(ReadLoopTest, SkipsZeroAndNegativeLengthsWithoutReadingABody) {
  Write(Frame(CloseTab("a")) + Length(0) + Frame(CloseTab("b")) + Length(-1) +
        Frame(CloseTab("c")));
  RunLoop();
  EXPECT_EQ(ClosedTabs(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
}

TEST_F(ReadLoopTest, DropsStrayBytesAtEndOfInput) {
  Write(Frame(CloseTab("a")) + "\x01\x02\x03");
  RunLoop();
  EXPECT_EQ(ClosedTabs(), std::vector<std::wstring>{L"a"});
}

TEST_F(ReadLoopTest, HandlesABodyCutShortWithWhatArrived) {
  const std::string body = CloseTab("short");
  Write(Length(static_cast<int32_t>(body.size()) + 100) + body);
  RunLoop();
  EXPECT_EQ(ClosedTabs(), std::vector<std::wstring>{L"short"});
}

TEST_F(ReadLoopTest, TextEndsAtAZeroByteInTheBody) {
  Write(Frame(CloseTab("z") + std::string("\0{\"broken", 9)) + Frame(CloseTab("next")));
  RunLoop();
  EXPECT_EQ(ClosedTabs(), (std::vector<std::wstring>{L"z", L"next"}));
}

TEST_F(ReadLoopTest, RelaysOnlyMessagesOfExactlyTypeXPath) {
  if (!debug_.Available()) GTEST_SKIP() << "relays are seen only as debug lines";
  Write(Frame(OfType("xpath")) + Frame(OfType("XPath ")) + Frame(OfType("XPathX")) +
        Frame(OfType("XPath")) + Frame("{}"));
  RunLoop();

  const std::vector<std::string> lines = DebugLinesSoFar();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Xpath received from Extension"), 1);
  // The message without a type after it must not inherit "XPath".
  EXPECT_EQ(std::count(lines.begin(), lines.end(), OfType("XPath")), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "{}"), 0);
}

TEST_F(ReadLoopTest, TakesAFrameOfExactlyTheLimit) {
  std::string body = CloseTab("limit");
  body.push_back('\0');  // keeps the handled text short
  body.resize(kMaxInboundFrameBytes, ' ');
  Write(Frame(body));
  RunLoop();
  EXPECT_EQ(ClosedTabs(), std::vector<std::wstring>{L"limit"});
}

TEST_F(ReadLoopTest, DiscardsALongerFrameAndStaysInStep) {
  const int32_t announced = kMaxInboundFrameBytes + 1;
  // The discarded body looks like frames itself; none of it may be handled.
  std::string body;
  while (body.size() < static_cast<size_t>(announced)) body += Frame(CloseTab("inside"));
  body.resize(announced);
  Write(Length(announced) + body + Frame(CloseTab("after")));
  RunLoop();

  EXPECT_EQ(ClosedTabs(), std::vector<std::wstring>{L"after"});
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Inbound frame discarded: length 67108865 exceeds 67108864"));
  }
}

TEST_F(ReadLoopTest, InputEndingInsideADiscardedFrameEndsTheLoop) {
  Write(Frame(CloseTab("before")) + Length(INT32_MAX) + std::string(1000, 'x'));
  RunLoop();
  EXPECT_EQ(ClosedTabs(), std::vector<std::wstring>{L"before"});
}

}  // namespace
}  // namespace browser_extensions
