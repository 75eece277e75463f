// Each payload passes its fields to exactly one agent SDK function; page
// loads and basic-authentication prompts hand the agent a reply callback
// whose calls become frames to the extension.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "channel/extension_output.h"
#include "channel/extension_writer.h"
#include "handling/message_handler.h"
#include "protection/protected_text.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using Texts = std::vector<std::wstring>;

class PayloadHandlersTest : public ::testing::Test {
 protected:
  void SetUp() override { agent_double::Reset(); }

  // Routes `utf8Text` and returns the one agent call it made.
  agent_double::Call RouteExpectingOneCall(const std::string& utf8Text) {
    std::wstring type;
    EXPECT_TRUE(handler_.ProcessMessage(utf8Text.c_str(), type));
    const auto calls = agent_double::Calls();
    EXPECT_EQ(calls.size(), 1u);
    return calls.empty() ? agent_double::Call{} : calls[0];
  }

  void ExpectDebugLine(const std::string& line) {
    if (debug_.Available()) {
      EXPECT_TRUE(debug_.WaitForLine(line)) << line;
    }
  }

  DebugLineCapture debug_;
  // The callback the host itself uses: unwrap, then write one frame.
  CMessageHandler handler_{[](const std::wstring&, const std::wstring& text) {
    WriteProtectedExtensionMessage(text);
  }};
};

TEST_F(PayloadHandlersTest, FiredTriggerPassesTabTriggerAndValues) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"7","type":"triggerFired","payload":{"triggerId":"t1",)"
      R"("values":[{"signature":"s2","value":"b"},{"signature":"s1","value":"a"}]}})");

  EXPECT_EQ(call.function, "NotifyTriggerFired");
  EXPECT_EQ(call.texts, (Texts{L"7", L"t1"}));
  EXPECT_EQ(call.values, (ValuesMap{{L"s1", L"a"}, {L"s2", L"b"}}));
  ExpectDebugLine("Calling NotifyTriggerFired");
}

TEST_F(PayloadHandlersTest, FiredTriggerReadOnlyInPartIsStillPassedOn) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"7","type":"triggerFired","payload":{"triggerId":"t1",)"
      R"("values":[{"signature":"s1","value":"a"},5,{"signature":"s3","value":"c"}]}})");

  EXPECT_EQ(call.function, "NotifyTriggerFired");
  EXPECT_EQ(call.texts, (Texts{L"7", L"t1"}));
  EXPECT_EQ(call.values, (ValuesMap{{L"s1", L"a"}}));
}

TEST_F(PayloadHandlersTest, FailedTriggerPassesTabAndTrigger) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"8","type":"triggerFailed","payload":{"triggerId":"t2"}})");

  EXPECT_EQ(call.function, "NotifyTriggerFailed");
  EXPECT_EQ(call.texts, (Texts{L"8", L"t2"}));
}

TEST_F(PayloadHandlersTest, LogLineGoesToTheAgentLogAtItsOwnLevel) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"8","type":"log","payload":{"message":"hello","level":2}})");

  EXPECT_EQ(call.function, "WriteLog");
  EXPECT_EQ(call.level, 2);
  EXPECT_EQ(call.texts, Texts{L"hello"});
}

TEST_F(PayloadHandlersTest, LogLineWithoutTextIsNotWritten) {
  std::wstring type;
  handler_.ProcessMessage(R"({"type":"log","payload":{"message":"","level":2}})", type);
  EXPECT_TRUE(agent_double::Calls().empty());
}

TEST_F(PayloadHandlersTest, PageLoadPassesUrlFlagAndACallback) {
  const auto top = RouteExpectingOneCall(
      R"({"tabID":"9","type":"documentComplete","payload":{"url":"https://a/","bTopLvlDoc":"TrUe"}})");
  EXPECT_EQ(top.function, "OnDocumentComplete");
  EXPECT_EQ(top.texts, (Texts{L"9", L"https://a/"}));
  EXPECT_TRUE(top.flag);
  EXPECT_TRUE(static_cast<bool>(top.reply));
  ExpectDebugLine("Calling OnDocumentComplete");

  agent_double::Reset();
  const auto frame = RouteExpectingOneCall(
      R"({"tabID":"9","type":"documentComplete","payload":{"url":"u","bTopLvlDoc":true}})");
  EXPECT_FALSE(frame.flag);
}

TEST_F(PayloadHandlersTest, BasicAuthPassesHostAndACallback) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"4","type":"basicAuthentication","payload":{"host":"intranet"}})");

  EXPECT_EQ(call.function, "OnBasicAuthRequired");
  EXPECT_EQ(call.texts, (Texts{L"4", L"intranet"}));
  EXPECT_TRUE(static_cast<bool>(call.reply));
  ExpectDebugLine("Calling OnBasicAuthRequired");
}

TEST_F(PayloadHandlersTest, SavedCredentialsPassAllFourStrings) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"4","type":"saveCredentials","payload":{"host":"h","username":"u"}})");

  EXPECT_EQ(call.function, "SaveCredentials");
  EXPECT_EQ(call.texts, (Texts{L"4", L"h", L"u", L""}));
  ExpectDebugLine("Calling SaveCredentials");
}

// The agent calls its copy of the callback later, with protected text; the
// extension must receive exactly one frame holding the unwrapped text.
class ReplyPathTest : public PayloadHandlersTest {
 protected:
  void SetUp() override {
    PayloadHandlersTest::SetUp();
    output_ = std::tmpfile();
    ASSERT_NE(output_, nullptr);
    SetExtensionOutputForTesting(output_);
  }
  void TearDown() override {
    SetExtensionOutputForTesting(nullptr);
    std::fclose(output_);
  }

  std::string WrittenBytes() {
    std::fflush(output_);
    std::rewind(output_);
    std::string bytes;
    for (int c; (c = std::fgetc(output_)) != EOF;) bytes.push_back(static_cast<char>(c));
    return bytes;
  }

  FILE* output_ = nullptr;
};

TEST_F(ReplyPathTest, AgentAnswerBecomesOneUnwrappedFrame) {
  const auto call = RouteExpectingOneCall(
      R"({"tabID":"4","type":"basicAuthentication","payload":{"host":"h"}})");
  ASSERT_TRUE(static_cast<bool>(call.reply));

  call.reply(L"ignored", ProtectData(L"a\"b"));

  EXPECT_EQ(WrittenBytes(), std::string("\x06\x00\x00\x00\"a\\\"b\"", 10));
}

TEST_F(ReplyPathTest, PageLoadCallbackOutlivesTheHandler) {
  auto handler = std::make_unique<CMessageHandler>(
      [](const std::wstring&, const std::wstring& text) {
        WriteProtectedExtensionMessage(text);
      });
  std::wstring type;
  handler->ProcessMessage(
      R"({"tabID":"1","type":"documentComplete","payload":{"url":"u"}})", type);
  handler.reset();

  const auto calls = agent_double::CallsTo("OnDocumentComplete");
  ASSERT_EQ(calls.size(), 1u);
  calls[0].reply(L"", ProtectData(L"ok"));

  EXPECT_EQ(WrittenBytes(), std::string("\x04\x00\x00\x00\"ok\"", 8));
}

}  // namespace
}  // namespace browser_extensions
