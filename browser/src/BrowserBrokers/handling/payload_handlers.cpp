// Handle of each payload class: every payload passes its fields to exactly
// one agent SDK function. Page loads and basic-authentication prompts also
// hand the agent a copy of the reply callback, through which it answers the
// extension later, from any thread.
#include "handling/agent_sdk.h"
#include "messages/page_response_credential_payloads.h"
#include "messages/report_text.h"
#include "messages/trigger_log_payloads.h"
#include "platform/debug_output.h"

namespace browser_extensions {

bool CTriggerFiredMessage::Handle(ReplyCallback /*reply*/,
                                  const std::wstring& tabID) {
  platform::OutputDebugLineW(L"Calling NotifyTriggerFired");
  wexkit_core::NotifyTriggerFired(tabID, triggerId, values);
  return true;
}

bool CTriggerFailedMessage::Handle(ReplyCallback /*reply*/,
                                   const std::wstring& tabID) {
  wexkit_core::NotifyTriggerFailed(tabID, triggerId);
  return true;
}

bool CLogMessage::Handle(ReplyCallback /*reply*/,
                         const std::wstring& /*tabID*/) {
  if (message.empty()) return false;
  // A line break or terminal sequence must not forge lines in the log.
  wexkit_utils::WriteLog(level, WithControlsEscaped(message));
  return true;
}

bool CDocumentCompleteMessage::Handle(ReplyCallback reply,
                                      const std::wstring& tabID) {
  platform::OutputDebugLineW(L"Calling OnDocumentComplete");
  wexkit_core::OnDocumentComplete(tabID, url, bTopLvlDoc, reply);
  return true;
}

bool CResponseMessage::Handle(ReplyCallback /*reply*/,
                              const std::wstring& tabID) {
  wexkit_core::SendResponse(tabID, requestID, values);
  return true;
}

bool CBasicAuthMessage::Handle(ReplyCallback reply, const std::wstring& tabID) {
  platform::OutputDebugLineW(L"Calling OnBasicAuthRequired");
  wexkit_core::OnBasicAuthRequired(tabID, host, reply);
  return true;
}

bool CSaveCredentialsMessage::Handle(ReplyCallback /*reply*/,
                                     const std::wstring& tabID) {
  platform::OutputDebugLineW(L"Calling SaveCredentials");
  wexkit_core::SaveCredentials(tabID, host, username, password);
  return true;
}

}  // namespace browser_extensions
