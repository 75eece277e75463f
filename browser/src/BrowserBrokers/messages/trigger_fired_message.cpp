#include "messages/trigger_fired_message.h"

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

}  // namespace browser_extensions
