#include "messages/save_credentials_message.h"

#include "messages/json_members.h"

namespace browser_extensions {

void CSaveCredentialsMessage::ToJson(wmObject&) {}

void CSaveCredentialsMessage::FromJson(const wmObject& object) {
  host = GetStringMember(object, L"host");
  username = GetStringMember(object, L"username");
  password = GetStringMember(object, L"password");
}

}  // namespace browser_extensions
