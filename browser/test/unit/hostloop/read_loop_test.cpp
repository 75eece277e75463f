// The read loop at the inbound size limit, in-process over a real stream
// (the framing cases are exercised through the host process itself).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "channel/read_loop.h"
#include "handling/message_handler.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using Tabs = std::vector<std::wstring>;

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
  const int32_t announced = kMaxInboundFrameBytes + 1;
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

}  // namespace
}  // namespace browser_extensions
