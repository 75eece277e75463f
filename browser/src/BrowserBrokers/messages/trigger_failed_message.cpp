#include "messages/trigger_failed_message.h"

#include "messages/json_members.h"

namespace browser_extensions {

void CTriggerFailedMessage::ToJson(wmObject& object) {
  object[L"triggerId"] = triggerId;
}

void CTriggerFailedMessage::FromJson(const wmObject& object) {
  triggerId = GetStringMember(object, L"triggerId");
}

}  // namespace browser_extensions
