#include "messages/response_message.h"

namespace browser_extensions {

CResponseMessage::CResponseMessage(const std::wstring& requestID)
    : requestID(requestID) {}

void CResponseMessage::ToJson(wmObject& object) {
  for (const auto& [name, text] : values) object[name] = text;
}

void CResponseMessage::FromJson(const wmObject& object) {
  for (const auto& [name, member] : object) values[name] = member.get_str();
}

}  // namespace browser_extensions
