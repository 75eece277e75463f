// What each inbound message makes the handler do: which agent SDK call it
// becomes, with which arguments, what the caller learns through the type
// out-parameter, and how the agent's answers reach the extension.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "handling/message_handler.h"
#include "messages/text_conversion.h"
#include "platform/debug_output.h"
#include "protection/protected_text.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

// One agent call in one line: function, text arguments, map, flag, level.
std::wstring Describe(const agent_double::Call& call) {
  std::wstring line(call.function.begin(), call.function.end());
  line += L"(";
  for (size_t i = 0; i < call.texts.size(); ++i) line += (i ? L"," : L"") + call.texts[i];
  line += L")";
  for (const auto& [key, value] : call.values) line += L" " + key + L"=" + value;
  if (call.function == "OnDocumentComplete") line += call.flag ? L" top" : L" frame";
  if (call.function == "WriteLog") line += L" @" + std::to_wstring(call.level);
  return line;
}

struct RouteCase {
  const char* name;
  const char* text;
  bool acted;
  std::wstring type;  // "unchanged" when the out-parameter must stay as it was
  std::vector<std::wstring> calls;
};

class MessageRoutingTest : public ::testing::TestWithParam<RouteCase> {
 protected:
  void SetUp() override { agent_double::Reset(); }

  // No agent answers here: the routing alone is looked at.
  CMessageHandler handler_{[](const std::wstring&, const std::wstring&) {}};
};

std::vector<std::wstring> DescribedCalls() {
  std::vector<std::wstring> calls;
  for (const auto& call : agent_double::Calls()) calls.push_back(Describe(call));
  return calls;
}

TEST_P(MessageRoutingTest, MakesExactlyTheExpectedAgentCalls) {
  const RouteCase& c = GetParam();
  std::wstring type = L"unchanged";
  EXPECT_EQ(handler_.ProcessMessage(c.text, type), c.acted);
  EXPECT_EQ(type, c.type);
  EXPECT_EQ(DescribedCalls(), c.calls);
}

// The entry for wide text routes exactly as the one for UTF-8 frames.
TEST_P(MessageRoutingTest, WideTextIsRoutedTheSame) {
  const RouteCase& c = GetParam();
  std::wstring type = L"unchanged";
  EXPECT_EQ(handler_.RouteMessage(Utf8ToWide(std::string(c.text)).c_str(), type), c.acted);
  EXPECT_EQ(type, c.type);
  EXPECT_EQ(DescribedCalls(), c.calls);
}

const RouteCase kRouteCases[] = {
    {"EmptyObject", "{}", false, L"unchanged", {L"WriteLog(Unknown message sent = {}) @3"}},
    {"NotJson", "not json", false, L"unchanged", {L"WriteLog(Unknown message sent = *** ***) @3"}},
    {"RequestWithoutType", R"({"requestID":"r1","payload":{"a":"1"}})", false, L"unchanged",
     {LR"(WriteLog(Unknown message sent = {"requestID":"r1","payload":{"a":"***"}}) @3)"}},
    {"CloseTab", R"({"tabID":"12","type":"closeTab"})", true, L"closeTab", {L"OnTabClosed(12)"}},
    {"CloseTabWithRequest", R"({"tabID":"3","type":"closeTab","requestID":"r9","payload":{"a":"1"}})",
     true, L"closeTab", {L"OnTabClosed(3)"}},
    {"CaseVariant", R"({"tabID":"3","type":"CloseTab"})", false, L"CloseTab", {}},
    {"XPath", R"({"tabID":"3","type":"XPath","payload":{"x":"/a"}})", true, L"XPath", {}},
    {"UnknownType", R"({"tabID":"3","type":"new","payload":{}})", false, L"new", {}},
    {"ResponseOfAnyType", R"({"tabID":"5","type":"new","requestID":"r1","payload":{"b":"2","a":"1"}})",
     true, L"new", {L"SendResponse(5,r1) a=1 b=2"}},
    {"TriggerFired", R"({"tabID":"7","type":"triggerFired","payload":{"triggerId":"t1",)"
                     R"("values":[{"signature":"s2","value":"b"},{"signature":"s1","value":"a"}]}})",
     true, L"triggerFired", {L"NotifyTriggerFired(7,t1) s1=a s2=b"}},
    {"TriggerFailed", R"({"tabID":"8","type":"triggerFailed","payload":{"triggerId":"t2"}})", true,
     L"triggerFailed", {L"NotifyTriggerFailed(8,t2)"}},
    {"Log", R"({"tabID":"8","type":"log","payload":{"message":"hello","level":2}})", true, L"log",
     {L"WriteLog(hello) @2"}},
    {"LogWithoutText", R"({"type":"log","payload":{"level":2}})", true, L"log", {}},
    {"TopLevelDocument", R"({"tabID":"9","type":"documentComplete","payload":{"url":"u","bTopLvlDoc":"TrUe"}})",
     true, L"documentComplete", {L"OnDocumentComplete(9,u) top"}},
    {"BasicAuth", R"({"tabID":"4","type":"basicAuthentication","payload":{"host":"intranet"}})", true,
     L"basicAuthentication", {L"OnBasicAuthRequired(4,intranet)"}},
    {"SaveCredentials", R"({"tabID":"4","type":"saveCredentials","payload":{"host":"h","username":"u"}})",
     true, L"saveCredentials", {L"SaveCredentials(4,h,u,)"}},
};

INSTANTIATE_TEST_SUITE_P(AllTypes, MessageRoutingTest, ::testing::ValuesIn(kRouteCases),
                         [](const auto& info) { return std::string(info.param.name); });

class HandlerSideEffectsTest : public MessageRoutingTest {};

TEST_F(HandlerSideEffectsTest, WritesItsDebugLinesInOrder) {
  DebugLineCapture debug;
  if (!debug.Available()) GTEST_SKIP() << "debug lines can't be captured here";
  std::wstring type;
  for (const char* text : {R"({"type":"triggerFired","payload":{}})", "{}",
                           R"({"type":"documentComplete"})", R"({"type":"basicAuthentication"})",
                           R"({"type":"saveCredentials"})", R"({"type":"triggerFailed"})"})
    handler_.ProcessMessage(text, type);
  platform::OutputDebugLineW(L"end");
  ASSERT_TRUE(debug.WaitForLine("end"));

  const std::vector<std::string> expected = {
      "Calling NotifyTriggerFired", "Unknown message sent = {}", "Calling OnDocumentComplete",
      "Calling OnBasicAuthRequired", "Calling SaveCredentials", "end"};
  EXPECT_EQ(debug.Lines(), expected);
}

// The agent answers later through its copies of the callback, with
// protected text; each copy must still reach the handler's callback, also
// after the handler is gone.
TEST_F(HandlerSideEffectsTest, AgentAnswersReachTheCallbackAfterTheHandlerIsGone) {
  auto answers = std::make_shared<std::vector<std::wstring>>();
  {
    CMessageHandler handler([answers](const std::wstring&, const std::wstring& text) {
      answers->push_back(UnProtectData(text));
    });
    std::wstring type;
    handler.ProcessMessage(R"({"type":"documentComplete"})", type);
    handler.ProcessMessage(R"({"type":"basicAuthentication"})", type);
  }
  const auto calls = agent_double::Calls();
  ASSERT_EQ(calls.size(), 2u);
  calls[0].reply(L"ignored", ProtectData(L"ok"));
  calls[1].reply(L"", ProtectData(L"a\"b"));
  EXPECT_EQ(*answers, (std::vector<std::wstring>{L"ok", L"a\"b"}));
}

}  // namespace
}  // namespace browser_extensions
