#include "messages/update_log_level_message.h"

#include "messages/json_members.h"

namespace browser_extensions {

void CUpdateLogLevelMessage::ToJson(wmObject& object) {
  object[L"type"] = type;
  object[L"level"] = level;
}

void CUpdateLogLevelMessage::FromJson(const wmObject& object) {
  type = GetStringMember(object, L"type");
  level = GetIntMember(object, L"level");
}

}  // namespace browser_extensions
