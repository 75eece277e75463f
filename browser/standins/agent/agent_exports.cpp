// The nine functions of the stand-in agent SDK. Each call is recorded
// first (HARROWMERE_RECORD), then answered by the script or, without one,
// by the demo agent.
#include "handling/agent_sdk.h"

#include "agent/agent_state.h"
#include "agent/answers.h"
#include "agent/stray_io.h"
#include "common/record_file.h"

namespace {

constexpr char kRecordVariable[] = "HARROWMERE_RECORD";

template <typename BuildLine>
void Record(BuildLine buildLine) {
  standins::RecordCall(kRecordVariable, buildLine);
  harrowmere::MakeNoiseIfAsked();
}

}  // namespace

namespace wexkit_core {

void NotifyTriggerFired(const std::wstring& tabId, const std::wstring& triggerId,
                        const ValuesMap& values) {
  Record([&] { return standins::RecordLine("NotifyTriggerFired").Text(tabId).Text(triggerId).Map(values); });
}

void NotifyTriggerFailed(const std::wstring& tabId, const std::wstring& triggerId) {
  Record([&] { return standins::RecordLine("NotifyTriggerFailed").Text(tabId).Text(triggerId); });
}

void OnDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                        bool topLevelDocument, ReplyCallback reply) {
  Record([&] { return standins::RecordLine("OnDocumentComplete")
             .Text(tabId)
             .Text(url)
             .Flag(topLevelDocument)
             .Callback(); });
  harrowmere::AnswerDocumentComplete(tabId, url, topLevelDocument, reply);
}

void OnBasicAuthRequired(const std::wstring& tabId, const std::wstring& host,
                         ReplyCallback reply) {
  Record([&] { return standins::RecordLine("OnBasicAuthRequired").Text(tabId).Text(host).Callback(); });
  harrowmere::AnswerBasicAuth(tabId, host, reply);
}

void SaveCredentials(const std::wstring& tabId, const std::wstring& host,
                     const std::wstring& username, const std::wstring& password) {
  Record([&] { return standins::RecordLine("SaveCredentials").Text(tabId).Text(host).Text(username).Text(password); });
  harrowmere::RememberCredentials(host, {username, password});
}

void SendResponse(const std::wstring& tabId, const std::wstring& requestId,
                  const ValuesMap& response) {
  Record([&] { return standins::RecordLine("SendResponse").Text(tabId).Text(requestId).Map(response); });
}

int OnTabClosed(const std::wstring& tabId) {
  Record([&] { return standins::RecordLine("OnTabClosed").Text(tabId); });
  return 0;
}

}  // namespace wexkit_core

namespace wexkit_utils {

int GetLogLevel() {
  Record([&] { return standins::RecordLine("GetLogLevel"); });
  return harrowmere::NextLogLevel();
}

void WriteLog(int level, const std::wstring& text) {
  Record([&] { return standins::RecordLine("WriteLog").Number(level).Text(text); });
  harrowmere::KeepLogLine(level, text);
}

}  // namespace wexkit_utils
