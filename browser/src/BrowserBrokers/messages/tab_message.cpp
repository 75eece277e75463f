#include "messages/tab_message.h"

#include <string_view>
#include <utility>

#include "messages/json_members.h"
#include "messages/page_response_credential_payloads.h"
#include "messages/trigger_log_payloads.h"

namespace browser_extensions {
namespace {

template <typename Payload>
std::shared_ptr<IJsonSerializable> MakePayload() {
  return std::make_shared<Payload>();
}

struct PayloadType {
  std::wstring_view type;
  std::shared_ptr<IJsonSerializable> (*make)();
};

// Which class carries the payload of each message type, tried in this
// order. A payload reads itself in trigger_log_payloads.cpp or
// page_response_credential_payloads.cpp and passes itself to the agent in
// handling/payload_handlers.cpp; the router (handling/message_handler.cpp)
// calls that Handle. A response is chosen by "requestID", not by type (see
// FromJson), and "closeTab" and "XPath" need no payload.
constexpr PayloadType kPayloadTypes[] = {
    {L"log", &MakePayload<CLogMessage>},
    {L"triggerFired", &MakePayload<CTriggerFiredMessage>},
    {L"triggerFailed", &MakePayload<CTriggerFailedMessage>},
    {L"documentComplete", &MakePayload<CDocumentCompleteMessage>},
    {L"basicAuthentication", &MakePayload<CBasicAuthMessage>},
    {L"saveCredentials", &MakePayload<CSaveCredentialsMessage>},
};

}  // namespace

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
  for (const PayloadType& entry : kPayloadTypes) {
    if (entry.type == type) return entry.make();
  }
  return nullptr;
}

}  // namespace browser_extensions
