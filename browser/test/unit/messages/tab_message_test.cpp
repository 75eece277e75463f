#include "messages/tab_message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "messages/page_response_credential_payloads.h"
#include "messages/trigger_log_payloads.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

CTabMessage ReadEnvelope(const std::wstring& text) {
  CTabMessage envelope;
  envelope.FromJsonString(text);
  return envelope;
}

template <typename Payload>
std::shared_ptr<Payload> PayloadAs(const CTabMessage& envelope) {
  return std::dynamic_pointer_cast<Payload>(envelope.payload);
}

TEST(TabMessageTest, TypeChoosesThePayloadClassCaseForCase) {
  const CTabMessage envelope = ReadEnvelope(
      L"{\"tabID\":\"7\",\"type\":\"log\",\"payload\":{\"message\":\"m\",\"level\":2}}");
  EXPECT_EQ(envelope.tabID, L"7");
  const auto log = PayloadAs<CLogMessage>(envelope);
  ASSERT_TRUE(log);
  EXPECT_EQ(log->message, L"m");
  EXPECT_EQ(log->level, 2);

  EXPECT_TRUE(PayloadAs<CTriggerFiredMessage>(ReadEnvelope(L"{\"type\":\"triggerFired\"}")));
  EXPECT_TRUE(PayloadAs<CTriggerFailedMessage>(ReadEnvelope(L"{\"type\":\"triggerFailed\"}")));
  EXPECT_TRUE(PayloadAs<CBasicAuthMessage>(ReadEnvelope(L"{\"type\":\"basicAuthentication\"}")));
  EXPECT_TRUE(PayloadAs<CSaveCredentialsMessage>(ReadEnvelope(L"{\"type\":\"saveCredentials\"}")));
  // The last of a repeated type counts.
  EXPECT_TRUE(PayloadAs<CTriggerFiredMessage>(
      ReadEnvelope(L"{\"type\":\"log\",\"type\":\"triggerFired\"}")));
  for (const wchar_t* text :
       {L"{\"type\":\"Log\",\"payload\":{}}", L"{\"type\":\"log \"}", L"{\"type\":7}",
        L"{\"payload\":{\"message\":\"m\"}}", L"{\"type\":\"closeTab\",\"payload\":{}}",
        L"{\"type\":\"XPath\"}"}) {
    EXPECT_FALSE(ReadEnvelope(text).payload) << text;
  }
}

TEST(TabMessageTest, NonEmptyRequestIdMakesAResponseWhateverTheType) {
  const CTabMessage envelope = ReadEnvelope(
      L"{\"type\":\"log\",\"requestID\":\"r1\",\"payload\":{\"b\":\"2\",\"a\":\"1\"}}");
  EXPECT_EQ(envelope.type, L"log");
  const auto response = PayloadAs<CResponseMessage>(envelope);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->requestID, L"r1");
  EXPECT_EQ(response->values, (ValuesMap{{L"a", L"1"}, {L"b", L"2"}}));

  // An empty or non-string request id, like a number for tabID, reads empty.
  for (const wchar_t* text : {L"{\"type\":\"log\",\"requestID\":\"\"}",
                              L"{\"type\":\"log\",\"requestID\":5,\"tabID\":7}"}) {
    const CTabMessage byType = ReadEnvelope(text);
    EXPECT_TRUE(PayloadAs<CLogMessage>(byType));
    EXPECT_EQ(byType.tabID, L"");
  }
}

TEST(TabMessageTest, PartlyReadPayloadStaysWithTheEnvelope) {
  DebugLineCapture capture;
  if (!capture.Available()) GTEST_SKIP() << "debug lines can't be captured";
  // The response reads "level" first; a number ends its reading.
  const CTabMessage envelope = ReadEnvelope(
      L"{\"tabID\":\"7\",\"type\":\"log\",\"requestID\":\"r1\","
      L"\"payload\":{\"message\":\"m\",\"level\":2}}");
  EXPECT_TRUE(capture.WaitForLine("value type is 4 not 2"));
  EXPECT_EQ(envelope.tabID, L"7");
  const auto response = PayloadAs<CResponseMessage>(envelope);
  ASSERT_TRUE(response);
  EXPECT_TRUE(response->values.empty());
}

TEST(TabMessageTest, MissingOrNonObjectPayloadReadsAsEmpty) {
  for (const wchar_t* text : {L"{\"type\":\"documentComplete\",\"payload\":\"x\"}",
                              L"{\"type\":\"documentComplete\"}"}) {
    const auto page = PayloadAs<CDocumentCompleteMessage>(ReadEnvelope(text));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->url, L"");
    EXPECT_FALSE(page->bTopLvlDoc);
  }
}

TEST(TabMessageTest, WritesOptionalMembersOnlyWhenSet) {
  CTabMessage envelope;
  EXPECT_EQ(envelope.ToJsonString(), L"{\"tabID\":\"\",\"type\":\"\"}");
  envelope.tabID = L"t";
  envelope.type = L"basicAuthentication";
  envelope.requestID = L"r";
  envelope.payload = std::make_shared<CBasicAuthMessage>();
  EXPECT_EQ(envelope.ToJsonString(),
            L"{\"payload\":{},\"requestID\":\"r\",\"tabID\":\"t\","
            L"\"type\":\"basicAuthentication\"}");
}

}  // namespace
}  // namespace browser_extensions
