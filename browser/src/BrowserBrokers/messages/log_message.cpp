#include "messages/log_message.h"

#include "messages/json_members.h"

namespace browser_extensions {

void CLogMessage::ToJson(wmObject& object) {
  object[L"message"] = message;
  object[L"level"] = level;
}

void CLogMessage::FromJson(const wmObject& object) {
  message = GetStringMember(object, L"message");
  level = GetIntMember(object, L"level");
}

}  // namespace browser_extensions
