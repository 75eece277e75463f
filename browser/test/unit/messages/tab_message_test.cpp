#include "messages/tab_message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "messages/basic_auth_message.h"
#include "messages/document_complete_message.h"
#include "messages/log_message.h"
#include "messages/response_message.h"
#include "messages/save_credentials_message.h"
#include "messages/trigger_failed_message.h"
#include "messages/trigger_fired_message.h"
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

TEST(TabMessageTest, TypeChoosesThePayloadClass) {
  const CTabMessage envelope = ReadEnvelope(
      L"{\"tabID\":\"7\",\"type\":\"log\",\"payload\":{\"message\":\"m\","
      L"\"level\":2}}");
  EXPECT_EQ(envelope.tabID, L"7");
  EXPECT_EQ(envelope.type, L"log");
  EXPECT_EQ(envelope.requestID, L"");
  const auto log = PayloadAs<CLogMessage>(envelope);
  ASSERT_TRUE(log);
  EXPECT_EQ(log->message, L"m");
  EXPECT_EQ(log->level, 2);
}

TEST(TabMessageTest, RequestIdMakesAResponseWhateverTheType) {
  const CTabMessage envelope = ReadEnvelope(
      L"{\"tabID\":\"7\",\"type\":\"log\",\"requestID\":\"r1\","
      L"\"payload\":{\"a\":\"1\",\"b\":\"2\"}}");
  EXPECT_EQ(envelope.type, L"log");
  const auto response = PayloadAs<CResponseMessage>(envelope);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->requestID, L"r1");
  EXPECT_EQ(response->values, (ValuesMap{{L"a", L"1"}, {L"b", L"2"}}));

  // An empty or non-string request id counts as absent.
  for (const wchar_t* text :
       {L"{\"type\":\"log\",\"requestID\":\"\"}",
        L"{\"type\":\"log\",\"requestID\":5,\"tabID\":7}"}) {
    const CTabMessage byType = ReadEnvelope(text);
    EXPECT_TRUE(PayloadAs<CLogMessage>(byType));
    EXPECT_EQ(byType.requestID, L"");
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
  EXPECT_EQ(envelope.type, L"log");
  const auto response = PayloadAs<CResponseMessage>(envelope);
  ASSERT_TRUE(response);
  EXPECT_TRUE(response->values.empty());
}

TEST(TabMessageTest, UnknownOrMiscasedTypeGivesNoPayload) {
  for (const wchar_t* text :
       {L"{\"type\":\"Log\",\"payload\":{}}", L"{\"type\":\"log \"}",
        L"{\"payload\":{\"message\":\"m\"}}", L"{\"type\":\"closeTab\"}",
        L"{\"type\":\"XPath\",\"payload\":{}}", L"{\"type\":7}"}) {
    EXPECT_FALSE(ReadEnvelope(text).payload);
  }
}

TEST(TabMessageTest, LastOfRepeatedTypeCounts) {
  const CTabMessage envelope =
      ReadEnvelope(L"{\"type\":\"log\",\"type\":\"triggerFired\"}");
  EXPECT_TRUE(PayloadAs<CTriggerFiredMessage>(envelope));
}

TEST(TabMessageTest, MissingOrNonObjectPayloadReadsAsEmpty) {
  for (const wchar_t* text :
       {L"{\"type\":\"documentComplete\",\"payload\":\"x\"}",
        L"{\"type\":\"documentComplete\"}"}) {
    const auto page = PayloadAs<CDocumentCompleteMessage>(ReadEnvelope(text));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->url, L"");
    EXPECT_FALSE(page->bTopLvlDoc);
  }
}

TEST(TabMessageTest, CreatePayloadMatchesWholeTypesCaseForCase) {
  EXPECT_TRUE(std::dynamic_pointer_cast<CLogMessage>(CreatePayload(L"log")));
  EXPECT_TRUE(std::dynamic_pointer_cast<CTriggerFiredMessage>(
      CreatePayload(L"triggerFired")));
  EXPECT_TRUE(std::dynamic_pointer_cast<CTriggerFailedMessage>(
      CreatePayload(L"triggerFailed")));
  EXPECT_TRUE(std::dynamic_pointer_cast<CDocumentCompleteMessage>(
      CreatePayload(L"documentComplete")));
  EXPECT_TRUE(std::dynamic_pointer_cast<CBasicAuthMessage>(
      CreatePayload(L"basicAuthentication")));
  EXPECT_TRUE(std::dynamic_pointer_cast<CSaveCredentialsMessage>(
      CreatePayload(L"saveCredentials")));
  for (const wchar_t* type :
       {L"", L"LOG", L"logs", L"trigger", L"closeTab", L"XPath", L"response"}) {
    EXPECT_FALSE(CreatePayload(type)) << type;
  }
}

TEST(TabMessageTest, WritesOptionalMembersOnlyWhenSet) {
  CTabMessage envelope;
  EXPECT_EQ(envelope.ToJsonString(), L"{\"tabID\":\"\",\"type\":\"\"}");

  envelope.tabID = L"t";
  envelope.type = L"basicAuthentication";
  envelope.requestID = L"r";
  auto basicAuth = std::make_shared<CBasicAuthMessage>();
  basicAuth->host = L"h";
  envelope.payload = basicAuth;
  EXPECT_EQ(envelope.ToJsonString(),
            L"{\"payload\":{},\"requestID\":\"r\",\"tabID\":\"t\","
            L"\"type\":\"basicAuthentication\"}");
}

}  // namespace
}  // namespace browser_extensions
