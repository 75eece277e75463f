#include "messages/trigger_log_payloads.h"

#include <utility>

#include "messages/json_members.h"

namespace browser_extensions {

void CTriggerFiredMessage::ToJson(wmObject& object) {
  object[L"triggerId"] = triggerId;
}

void CTriggerFiredMessage::FromJson(const wmObject& object) {
  triggerId = GetStringMember(object, L"triggerId");
  for (const wmValue& element : ArrayMemberRef(object, L"values")) {
    const wmObject& item = element.get_obj();
    std::wstring signature = GetStringMember(item, L"signature");
    if (signature.empty()) continue;
    values[std::move(signature)] = GetStringMember(item, L"value");
  }
}

void CTriggerFailedMessage::ToJson(wmObject& object) {
  object[L"triggerId"] = triggerId;
}

void CTriggerFailedMessage::FromJson(const wmObject& object) {
  triggerId = GetStringMember(object, L"triggerId");
}

void CLogMessage::ToJson(wmObject& object) {
  object[L"message"] = message;
  object[L"level"] = level;
}

void CLogMessage::FromJson(const wmObject& object) {
  message = GetStringMember(object, L"message");
  level = GetIntMember(object, L"level");
}

}  // namespace browser_extensions
