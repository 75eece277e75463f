// Routing of inbound messages by type: what reaches the agent, what is
// reported, and what the caller learns through the type out-parameter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handling/message_handler.h"
#include "platform/debug_output.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override { agent_double::Reset(); }

  bool Route(const std::string& utf8Text) {
    return handler_.ProcessMessage(utf8Text.c_str(), type_);
  }

  // Every line written so far, once a marker written after them is seen.
  std::vector<std::string> DebugLinesSoFar() {
    platform::OutputDebugLineW(L"-- end of test lines --");
    EXPECT_TRUE(debug_.WaitForLine("-- end of test lines --"));
    return debug_.Lines();
  }

  DebugLineCapture debug_;
  CMessageHandler handler_{[](const std::wstring&, const std::wstring&) {}};
  std::wstring type_ = L"before";
};

TEST_F(RouterTest, ReportsAnEmptyObjectAsUnknownAndKeepsTheType) {
  EXPECT_FALSE(Route("{}"));

  EXPECT_EQ(type_, L"before");
  const auto logs = agent_double::CallsTo("WriteLog");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].level, 3);
  EXPECT_EQ(logs[0].texts, std::vector<std::wstring>{L"Unknown message sent = {}"});
  EXPECT_EQ(agent_double::Calls().size(), 1u);
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Unknown message sent = {}"));
  }
}

TEST_F(RouterTest, ReportsTextThatIsNotJsonWithTheWholeText) {
  EXPECT_FALSE(Route("not json at all"));

  const auto logs = agent_double::CallsTo("WriteLog");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].texts[0], L"Unknown message sent = not json at all");
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Unknown message sent = not json at all"));
  }
}

TEST_F(RouterTest, ReportsARequestWithoutTypeWithoutHandlingItsPayload) {
  EXPECT_FALSE(Route(R"({"tabID":"7","requestID":"r1","payload":{"a":"1"}})"));

  EXPECT_TRUE(agent_double::CallsTo("SendResponse").empty());
  EXPECT_EQ(agent_double::CallsTo("WriteLog").size(), 1u);
  EXPECT_EQ(type_, L"before");
}

TEST_F(RouterTest, PassesClosedTabsToTheAgent) {
  EXPECT_TRUE(Route(R"({"tabID":"12","type":"closeTab"})"));
  EXPECT_EQ(type_, L"closeTab");

  std::wstring secondType;
  EXPECT_TRUE(handler_.ProcessMessage(R"({"type":"closeTab"})", secondType));

  const auto closed = agent_double::CallsTo("OnTabClosed");
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[0].texts, std::vector<std::wstring>{L"12"});
  EXPECT_EQ(closed[1].texts, std::vector<std::wstring>{L""});
}

TEST_F(RouterTest, ClosedTabWithRequestIdIsNotAnsweredAsResponse) {
  EXPECT_TRUE(Route(
      R"({"tabID":"3","type":"closeTab","requestID":"r9","payload":{"a":"1"}})"));

  const auto calls = agent_double::Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "OnTabClosed");
}

TEST_F(RouterTest, TypesDifferingInCaseMatchNothingButAreStillReturned) {
  EXPECT_FALSE(Route(R"({"tabID":"3","type":"CloseTab"})"));
  EXPECT_EQ(type_, L"CloseTab");
  EXPECT_FALSE(Route(R"({"tabID":"3","type":"Log","payload":{"message":"m"}})"));
  EXPECT_EQ(type_, L"Log");
  EXPECT_TRUE(agent_double::Calls().empty());
}

TEST_F(RouterTest, LeavesElementPathsToTheCaller) {
  EXPECT_TRUE(Route(R"({"tabID":"3","type":"XPath","payload":{"xpath":"/a"}})"));
  EXPECT_EQ(type_, L"XPath");
  EXPECT_TRUE(agent_double::Calls().empty());
}

TEST_F(RouterTest, DropsAnUnknownTypeWithoutAWord) {
  EXPECT_FALSE(Route(R"({"tabID":"3","type":"somethingNew","payload":{}})"));
  EXPECT_EQ(type_, L"somethingNew");
  EXPECT_TRUE(agent_double::Calls().empty());
  if (!debug_.Available()) return;
  for (const std::string& line : DebugLinesSoFar())
    EXPECT_EQ(line.find("Unknown message sent"), std::string::npos) << line;
}

TEST_F(RouterTest, AnswersToRequestsReachTheAgentWhateverTheirType) {
  EXPECT_TRUE(Route(
      R"({"tabID":"5","type":"somethingNew","requestID":"r1","payload":{"b":"2","a":"1"}})"));

  const auto responses = agent_double::CallsTo("SendResponse");
  ASSERT_EQ(responses.size(), 1u);
  EXPECT_EQ(responses[0].texts, (std::vector<std::wstring>{L"5", L"r1"}));
  EXPECT_EQ(responses[0].values, (ValuesMap{{L"a", L"1"}, {L"b", L"2"}}));
}

TEST_F(RouterTest, RoutesAHandledPayloadAsActedOnEvenWhenItCallsNothing) {
  EXPECT_TRUE(Route(R"({"tabID":"5","type":"log","payload":{"level":2}})"));
  EXPECT_TRUE(agent_double::Calls().empty());
}

TEST_F(RouterTest, ConvertsIllFormedUtf8BeforeRouting) {
  EXPECT_TRUE(Route("{\"type\":\"log\",\"payload\":{\"level\":1,\"message\":\"a\xFF" "b\"}}"));

  const auto logs = agent_double::CallsTo("WriteLog");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].texts[0], std::wstring(L"a") + wchar_t(0xFFFD) + L"b");
}

TEST_F(RouterTest, TakesWideTextUpToItsTerminatingZero) {
  const wchar_t text[] = L"{\"tabID\":\"1\",\"type\":\"closeTab\"}\0{\"type\":\"log\"}";
  std::wstring type;
  EXPECT_TRUE(handler_.RouteMessage(text, type));
  EXPECT_EQ(type, L"closeTab");
  EXPECT_EQ(agent_double::Calls().size(), 1u);
}

}  // namespace
}  // namespace browser_extensions
