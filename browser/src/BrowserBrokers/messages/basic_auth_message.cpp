#include "messages/basic_auth_message.h"

#include "messages/json_members.h"

namespace browser_extensions {

void CBasicAuthMessage::ToJson(wmObject&) {}

void CBasicAuthMessage::FromJson(const wmObject& object) {
  host = GetStringMember(object, L"host");
}

}  // namespace browser_extensions
