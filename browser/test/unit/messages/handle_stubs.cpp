// Test-only definitions of the payloads' Handle, so that this program links
// without the handlers that call the agent. The tests here never call them.
#include "messages/basic_auth_message.h"
#include "messages/document_complete_message.h"
#include "messages/log_message.h"
#include "messages/response_message.h"
#include "messages/save_credentials_message.h"
#include "messages/trigger_failed_message.h"
#include "messages/trigger_fired_message.h"

namespace browser_extensions {

bool CTriggerFiredMessage::Handle(ReplyCallback, const std::wstring&) { return false; }
bool CTriggerFailedMessage::Handle(ReplyCallback, const std::wstring&) { return false; }
bool CLogMessage::Handle(ReplyCallback, const std::wstring&) { return false; }
bool CDocumentCompleteMessage::Handle(ReplyCallback, const std::wstring&) { return false; }
bool CResponseMessage::Handle(ReplyCallback, const std::wstring&) { return false; }
bool CBasicAuthMessage::Handle(ReplyCallback, const std::wstring&) { return false; }
bool CSaveCredentialsMessage::Handle(ReplyCallback, const std::wstring&) { return false; }

}  // namespace browser_extensions
