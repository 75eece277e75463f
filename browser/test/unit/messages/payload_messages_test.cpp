// The payload classes and the log-level update: what each reads from its
// object and what each writes.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "json_test_support.h"
#include "messages/page_response_credential_payloads.h"
#include "messages/trigger_log_payloads.h"
#include "messages/update_log_level_message.h"

namespace browser_extensions {
namespace {

using messages_test::ReadObject;

// Runs FromJson; returns the text of the type error it ended with, if any.
template <typename Message>
std::string FromJsonError(Message& message, const std::wstring& text) {
  try {
    message.FromJson(ReadObject(text));
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

TEST(TriggerFiredMessageTest, ValuesMapSignaturesToTheirLastValue) {
  CTriggerFiredMessage message;
  EXPECT_EQ(FromJsonError(message,
                          L"{\"triggerId\":\"t\",\"values\":["
                          L"{\"signature\":\"s9\",\"value\":\"z\"},"
                          L"{\"signature\":\"s1\",\"value\":\"a\"},"
                          L"{\"signature\":\"s1\",\"value\":\"b\"},{\"signature\":\"s2\"},"
                          L"{\"value\":\"x\"},{\"signature\":\"\",\"value\":\"x\"},"
                          L"{\"signature\":3,\"value\":\"x\"}]}"),
            "");
  EXPECT_EQ(message.triggerId, L"t");
  EXPECT_EQ(message.values, (ValuesMap{{L"s1", L"b"}, {L"s2", L""}, {L"s9", L"z"}}));

  for (const wchar_t* text : {L"{\"values\":{}}", L"{\"values\":\"x\"}"}) {
    CTriggerFiredMessage other;
    EXPECT_EQ(FromJsonError(other, text), "");
    EXPECT_TRUE(other.values.empty());
  }
}

TEST(TriggerFiredMessageTest, NonObjectElementEndsReadingKeepingEarlierOnes) {
  CTriggerFiredMessage message;
  EXPECT_EQ(FromJsonError(message,
                          L"{\"triggerId\":\"t\",\"values\":[{\"signature\":\"s1\","
                          L"\"value\":\"a\"},5,{\"signature\":\"s3\",\"value\":\"c\"}]}"),
            "value type is 4 not 0");
  EXPECT_EQ(message.triggerId, L"t");
  EXPECT_EQ(message.values, (ValuesMap{{L"s1", L"a"}}));
}

TEST(TriggerMessagesTest, WriteOnlyTheTriggerId) {
  CTriggerFiredMessage fired;
  fired.triggerId = L"t";
  fired.values = {{L"s", L"v"}};
  EXPECT_EQ(fired.ToJsonString(), L"{\"triggerId\":\"t\"}");
  CTriggerFailedMessage failed;
  failed.FromJson(ReadObject(L"{\"triggerId\":\"f\"}"));
  EXPECT_EQ(failed.ToJsonString(), L"{\"triggerId\":\"f\"}");
}

TEST(LogMessagesTest, LogReadsMessageAndIntegerLevel) {
  CLogMessage message;
  message.FromJson(ReadObject(L"{\"level\":2}"));
  EXPECT_EQ(message.message, L"");
  EXPECT_EQ(message.level, 2);
  message.FromJson(ReadObject(L"{\"message\":\"m\",\"level\":3.0}"));
  EXPECT_EQ(message.level, 0);
  EXPECT_EQ(message.ToJsonString(), L"{\"level\":0,\"message\":\"m\"}");
}

TEST(LogMessagesTest, UpdateWritesLevelThenType) {
  CUpdateLogLevelMessage update;
  update.type = L"updateLogLevel";
  update.level = 3;
  EXPECT_EQ(update.ToJsonString(), L"{\"level\":3,\"type\":\"updateLogLevel\"}");
  update.level = -1;
  EXPECT_EQ(update.ToJsonString(), L"{\"level\":-1,\"type\":\"updateLogLevel\"}");
}

TEST(DocumentCompleteMessageTest, TopLevelFlagIsTheStringTrueInAnyCase) {
  for (const wchar_t* flag : {L"\"true\"", L"\"TRUE\"", L"\"True\"", L"\"tRuE\""}) {
    CDocumentCompleteMessage message;
    message.FromJson(ReadObject(L"{\"url\":\"u\",\"bTopLvlDoc\":" + std::wstring(flag) + L"}"));
    EXPECT_TRUE(message.bTopLvlDoc) << flag;
    EXPECT_EQ(message.url, L"u");
  }
  for (const wchar_t* flag : {L"true", L"\"1\"", L"\"yes\"", L"\"true \"", L"\"\"",
                              L"\"\x0130rue\"", L"null"}) {
    CDocumentCompleteMessage message;
    message.bTopLvlDoc = true;
    message.FromJson(ReadObject(L"{\"bTopLvlDoc\":" + std::wstring(flag) + L"}"));
    EXPECT_FALSE(message.bTopLvlDoc) << flag;
  }
}

TEST(DocumentCompleteMessageTest, WritesTheFlagAsAString) {
  CDocumentCompleteMessage message;
  message.url = L"u";
  EXPECT_EQ(message.ToJsonString(), L"{\"bTopLvlDoc\":\"false\",\"url\":\"u\"}");
  message.bTopLvlDoc = true;
  EXPECT_EQ(message.ToJsonString(), L"{\"bTopLvlDoc\":\"true\",\"url\":\"u\"}");
}

TEST(ResponseMessageTest, TakesStringMembersInNameOrderUntilOneIsNot) {
  CResponseMessage response(L"r");
  EXPECT_EQ(FromJsonError(response, L"{\"b\":\"2\",\"a\":\"1\"}"), "");
  EXPECT_EQ(response.values, (ValuesMap{{L"a", L"1"}, {L"b", L"2"}}));
  EXPECT_EQ(response.ToJsonString(), L"{\"a\":\"1\",\"b\":\"2\"}");

  CResponseMessage cut(L"r");
  EXPECT_EQ(FromJsonError(cut, L"{\"c\":\"3\",\"b\":2,\"a\":\"1\"}"), "value type is 4 not 2");
  EXPECT_EQ(cut.values, (ValuesMap{{L"a", L"1"}}));
  CResponseMessage null(L"r");
  EXPECT_EQ(FromJsonError(null, L"{\"a\":null}"), "value type is 6 not 2");
  EXPECT_TRUE(null.values.empty());
}

TEST(CredentialMessagesTest, ReadStringMembersAndWriteNothing) {
  CSaveCredentialsMessage credentials;
  credentials.FromJson(ReadObject(L"{\"host\":\"h\",\"username\":\"u\"}"));
  EXPECT_EQ(credentials.host, L"h");
  EXPECT_EQ(credentials.username, L"u");
  EXPECT_EQ(credentials.password, L"");
  credentials.password = L"secret";
  EXPECT_EQ(credentials.ToJsonString(), L"{}");

  CBasicAuthMessage basicAuth;
  basicAuth.FromJson(ReadObject(L"{\"host\":443}"));
  EXPECT_EQ(basicAuth.host, L"");
  basicAuth.host = L"h";
  EXPECT_EQ(basicAuth.ToJsonString(), L"{}");
}

}  // namespace
}  // namespace browser_extensions
