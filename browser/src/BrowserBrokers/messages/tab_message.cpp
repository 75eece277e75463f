#include "messages/tab_message.h"

#include "messages/basic_auth_message.h"
#include "messages/document_complete_message.h"
#include "messages/json_members.h"
#include "messages/log_message.h"
#include "messages/response_message.h"
#include "messages/save_credentials_message.h"
#include "messages/trigger_failed_message.h"
#include "messages/trigger_fired_message.h"

namespace browser_extensions {

void CTabMessage::ToJson(wmObject& object) {
  object[L"tabID"] = tabID;
  if (!requestID.empty()) object[L"requestID"] = requestID;
  object[L"type"] = type;
  if (payload) {
    wmObject payloadObject;
    payload->ToJson(payloadObject);
    object[L"payload"] = std::move(payloadObject);
  }
}

void CTabMessage::FromJson(const wmObject& object) {
  tabID = GetStringMember(object, L"tabID");
  requestID = GetStringMember(object, L"requestID");
  type = GetStringMember(object, L"type");
  if (!requestID.empty()) {
    payload = std::make_shared<CResponseMessage>(requestID);
  } else {
    payload = CreatePayload(type);
  }
  if (payload) payload->FromJson(ObjectMemberRef(object, L"payload"));
}

std::shared_ptr<IJsonSerializable> CreatePayload(const std::wstring& type) {
  if (type == L"log") return std::make_shared<CLogMessage>();
  if (type == L"triggerFired") return std::make_shared<CTriggerFiredMessage>();
  if (type == L"triggerFailed") {
    return std::make_shared<CTriggerFailedMessage>();
  }
  if (type == L"documentComplete") {
    return std::make_shared<CDocumentCompleteMessage>();
  }
  if (type == L"basicAuthentication") {
    return std::make_shared<CBasicAuthMessage>();
  }
  if (type == L"saveCredentials") {
    return std::make_shared<CSaveCredentialsMessage>();
  }
  return nullptr;
}

}  // namespace browser_extensions
